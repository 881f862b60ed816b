// Windows names as the program holds them: WTF-8, UTF-8 that also carries an
// unpaired UTF-16 surrogate, which Windows allows in names and every UTF-8
// converter turns into U+FFFD, the name of another file. Pure, so it is built
// and tested in every build.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// UTF-16 as WTF-8: a surrogate pair as one character, an unpaired surrogate alone.
std::string wtf8_from_utf16(std::u16string_view wide);
// WTF-8 back to the UTF-16 it came from.
std::u16string utf16_from_wtf8(std::string_view text);

}  // namespace platform
