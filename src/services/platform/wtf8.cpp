// Windows names between UTF-16 and WTF-8, losslessly in both directions.
#include "services/platform/wtf8.hpp"

#include <cstdint>

namespace platform {

namespace {

void append_wtf8(std::string& text, std::uint32_t code) {
  if (code < 0x80) {
    text += static_cast<char>(code);
    return;
  }
  constexpr unsigned lead_marks[] = {0, 0xC0, 0xE0, 0xF0};
  int extra = code < 0x800 ? 1 : code < 0x10000 ? 2 : 3;
  text += static_cast<char>(lead_marks[extra] | (code >> (6 * extra)));
  for (int shift = 6 * (extra - 1); shift >= 0; shift -= 6)
    text += static_cast<char>(0x80 | ((code >> shift) & 0x3F));
}

bool is_high_surrogate(std::uint32_t code) {
  return code >= 0xD800 && code <= 0xDBFF;
}
bool is_low_surrogate(std::uint32_t code) {
  return code >= 0xDC00 && code <= 0xDFFF;
}

}  // namespace

std::string wtf8_from_utf16(std::u16string_view wide) {
  std::string text;
  for (std::size_t i = 0; i < wide.size(); ++i) {
    std::uint32_t code = wide[i];
    if (is_high_surrogate(code) && i + 1 < wide.size() && is_low_surrogate(wide[i + 1]))
      code = 0x10000 + ((code - 0xD800) << 10) + (wide[++i] - 0xDC00u);
    append_wtf8(text, code);
  }
  return text;
}

std::u16string utf16_from_wtf8(std::string_view text) {
  std::u16string wide;
  for (std::size_t i = 0; i < text.size();) {
    auto lead = static_cast<unsigned char>(text[i++]);
    int extra = lead < 0xC0 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
    std::uint32_t code = extra == 0 ? lead : lead & (0x3Fu >> extra);
    for (int k = 0; k < extra && i < text.size(); ++k)
      code = code << 6 | (static_cast<unsigned char>(text[i++]) & 0x3Fu);
    if (code < 0x10000) {
      wide += static_cast<char16_t>(code);
    } else {
      wide += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
      wide += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    }
  }
  return wide;
}

}  // namespace platform
