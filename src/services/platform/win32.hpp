// What the Windows platform files share.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "services/platform/platform.hpp"

namespace platform {

inline HANDLE as_handle(Handle handle) {
  return reinterpret_cast<HANDLE>(handle);
}

// A name or text held as WTF-8, as Windows takes it.
std::wstring wide_text(std::string_view text);
// Wide text in the ANSI code page without "best fit": a character the code
// page lacks becomes "?", never a lookalike.
std::string ansi_text(const wchar_t* wide, int length);

}  // namespace platform
