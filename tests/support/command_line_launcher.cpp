// For the tests of the Windows build: starts a program with a raw command line.
// "launcher PROGRAM TAIL" runs PROGRAM with the command line "PROGRAM" TAIL,
// where \uXXXX in TAIL stands for that UTF-16 unit, an unpaired surrogate too.
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

std::wstring unescaped(std::wstring_view text) {
  std::wstring result;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text.substr(i, 2) == L"\\u" && i + 6 <= text.size()) {
      result += static_cast<wchar_t>(
          std::wcstoul(std::wstring(text.substr(i + 2, 4)).c_str(), nullptr, 16));
      i += 5;
    } else {
      result += text[i];
    }
  }
  return result;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return 120;
  std::wstring command = L"\"" + std::wstring(argv[1]) + L"\" " + unescaped(argv[2]);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process;
  if (!CreateProcessW(argv[1], command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &startup, &process))
    return 121;
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 0;
  GetExitCodeProcess(process.hProcess, &status);
  return static_cast<int>(status);
}
