// The platform layer on Windows.
#include <windows.h>

#include <cstring>

#include "services/platform.hpp"
#include "services/windows_errors.hpp"

namespace platform {

namespace {

constexpr std::uint16_t invalid_handle = 6;

HANDLE as_handle(Handle handle) {
  return reinterpret_cast<HANDLE>(handle);
}

std::uint16_t last_error() {
  return io_error_for_system_code(GetLastError());
}

// Windows refuses names of MAX_PATH characters or more unless they are written
// in the \\?\ form, which must be absolute; the name is used whole all the same.
// Names already in a device or long form are the user's to write.
std::wstring long_path_form(const std::wstring& name) {
  for (const wchar_t* prefix : {L"\\\\?\\", L"\\\\.\\", L"\\??\\"})
    if (name.starts_with(prefix)) return name;
  DWORD length = GetFullPathNameW(name.c_str(), 0, nullptr, nullptr);
  if (length < MAX_PATH - 12) return name;  // short enough as it is (or not a path)
  std::wstring full(length, L'\0');
  length = GetFullPathNameW(name.c_str(), length, full.data(), nullptr);
  full.resize(length);
  if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

// Arguments are held as WTF-8: UTF-8 that also carries an unpaired surrogate,
// which Windows allows in names and every UTF-8 converter turns into U+FFFD,
// the name of another file. So a name reaches CreateFileW exactly as typed.
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

std::string wtf8_text(std::wstring_view wide) {
  std::string text;
  for (std::size_t i = 0; i < wide.size(); ++i) {
    std::uint32_t code = wide[i];
    if (is_high_surrogate(code) && i + 1 < wide.size() && is_low_surrogate(wide[i + 1]))
      code = 0x10000 + ((code - 0xD800) << 10) + (wide[++i] - 0xDC00u);
    append_wtf8(text, code);
  }
  return text;
}

std::wstring wide_text(std::string_view text) {
  std::wstring wide;
  for (std::size_t i = 0; i < text.size();) {
    auto lead = static_cast<unsigned char>(text[i++]);
    int extra = lead < 0xC0 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
    std::uint32_t code = extra == 0 ? lead : lead & (0x3Fu >> extra);
    for (int k = 0; k < extra && i < text.size(); ++k)
      code = code << 6 | (static_cast<unsigned char>(text[i++]) & 0x3Fu);
    if (code < 0x10000) {
      wide += static_cast<wchar_t>(code);
    } else {
      wide += static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10));
      wide += static_cast<wchar_t>(0xDC00 + (code & 0x3FF));
    }
  }
  return wide;
}

std::string multibyte_text(const wchar_t* wide, int length, UINT code_page, DWORD flags) {
  int bytes = WideCharToMultiByte(code_page, flags, wide, length, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(code_page, flags, wide, length, text.data(), bytes, nullptr, nullptr);
  return text;
}

// The ANSI code page without "best fit": no lookalike ever stands in for a character.
std::string ansi_text(const wchar_t* wide, int length) {
  DWORD flags = GetACP() == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
  return multibyte_text(wide, length, CP_ACP, flags);
}

// The name exactly as typed, with "/" and "\" both separating folders.
std::wstring platform_name(const std::string& name) {
  std::wstring wide = wide_text(name);
  for (wchar_t& c : wide)
    if (c == L'/') c = L'\\';
  return long_path_form(wide);
}

// Others may read the file while the program holds it, but not write it.
std::uint16_t open_shared(const std::string& name, DWORD access, DWORD disposition,
                          Handle& handle) {
  HANDLE file = CreateFileW(platform_name(name).c_str(), access, FILE_SHARE_READ, nullptr,
                            disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return last_error();
  handle = reinterpret_cast<Handle>(file);
  return 0;
}

HMODULE program_module() {
  return GetModuleHandleW(nullptr);
}

bool inside_program(DWORD64 address) {
  auto base = reinterpret_cast<const unsigned char*>(program_module());
  auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  auto start = reinterpret_cast<DWORD64>(base);
  return address >= start && address < start + nt->OptionalHeader.SizeOfImage;
}

// One step up the call chain; false at its end.
bool unwind(CONTEXT& context) {
  DWORD64 image_base = 0;
  PRUNTIME_FUNCTION entry = RtlLookupFunctionEntry(context.Rip, &image_base, nullptr);
  if (entry == nullptr) {  // a leaf: the return address is on top of the stack
    context.Rip = *reinterpret_cast<DWORD64*>(context.Rsp);
    context.Rsp += 8;
  } else {
    void* handler_data = nullptr;
    DWORD64 establisher = 0;
    RtlVirtualUnwind(UNW_FLAG_NHANDLER, image_base, context.Rip, entry, &context, &handler_data,
                     &establisher, nullptr);
  }
  return context.Rip != 0;
}

int walk_callers(CONTEXT context, const void* location, std::uint64_t* offsets, int most) {
  auto target = reinterpret_cast<DWORD64>(location);
  bool found = false;
  int count = 0;
  for (int frame = 0; frame < 64 && count < most; ++frame) {
    if (found) {
      if (!inside_program(context.Rip)) break;
      offsets[count++] = code_offset(reinterpret_cast<const void*>(context.Rip));
    }
    found = found || context.Rip == target;
    if (!unwind(context)) break;
  }
  return count;
}

FaultHandler fault_handler = nullptr;
CONTEXT fault_context;
bool in_fault = false;

std::uint16_t fault_number(DWORD code) {
  switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_IN_PAGE_ERROR:
    case EXCEPTION_STACK_OVERFLOW:
      return 216;  // invalid memory access
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_INT_OVERFLOW:
      return 200;  // arithmetic fault
    default:
      return 218;  // invalid instruction and the rest
  }
}

LONG WINAPI on_fault(EXCEPTION_POINTERS* exception) {
  fault_context = *exception->ContextRecord;
  in_fault = true;
  fault_handler(fault_number(exception->ExceptionRecord->ExceptionCode),
                exception->ExceptionRecord->ExceptionAddress);
  return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

Handle standard_output() {
  return reinterpret_cast<Handle>(GetStdHandle(STD_OUTPUT_HANDLE));
}
Handle standard_error() {
  return reinterpret_cast<Handle>(GetStdHandle(STD_ERROR_HANDLE));
}

std::uint16_t open_existing_file(const std::string& name, Handle& handle) {
  return open_shared(name, GENERIC_READ, OPEN_EXISTING, handle);
}

// Write access (and its attributes, for its identity): a pipe then waits for
// its reader instead of becoming its own.
std::uint16_t open_for_writing(const std::string& name, Handle& handle) {
  return open_shared(name, GENERIC_WRITE | FILE_READ_ATTRIBUTES, OPEN_ALWAYS, handle);
}

// Only a file on a disk is cut; devices keep what they are.
std::uint16_t empty_file(Handle handle) {
  if (GetFileType(as_handle(handle)) != FILE_TYPE_DISK || SetEndOfFile(as_handle(handle))) return 0;
  return last_error();
}

// A file is its volume and file index; a device has none, and stays unknown.
FileIdentity file_identity(Handle handle) {
  BY_HANDLE_FILE_INFORMATION information;
  if (!GetFileInformationByHandle(as_handle(handle), &information)) return {};
  FileIdentity identity;
  identity.keys[0] = {information.dwVolumeSerialNumber,
                      std::uint64_t{information.nFileIndexHigh} << 32 | information.nFileIndexLow};
  identity.count = 1;
  return identity;
}

std::uint16_t read_file(Handle handle, void* buffer, std::size_t count, std::size_t& delivered) {
  delivered = 0;
  // Standard output is for writing; never wait on a console for it.
  if (handle == standard_output()) return invalid_handle;
  DWORD got = 0;
  if (!ReadFile(as_handle(handle), buffer, static_cast<DWORD>(count), &got, nullptr))
    return GetLastError() == ERROR_BROKEN_PIPE ? 0 : last_error();
  delivered = got;
  return 0;
}

std::uint16_t write_file(Handle handle, const void* buffer, std::size_t count,
                         std::size_t& written) {
  DWORD put = 0;
  BOOL done = WriteFile(as_handle(handle), buffer, static_cast<DWORD>(count), &put, nullptr);
  written = put;
  return done ? 0 : last_error();
}

std::uint16_t seek_file(Handle handle, std::int64_t position) {
  LARGE_INTEGER distance;
  distance.QuadPart = position;
  return SetFilePointerEx(as_handle(handle), distance, nullptr, FILE_BEGIN) ? 0 : last_error();
}

std::uint16_t close_file_handle(Handle handle) {
  return CloseHandle(as_handle(handle)) ? 0 : last_error();
}

bool write_console(Handle stream, const void* bytes, std::size_t count) {
  DWORD put = 0;
  return WriteFile(as_handle(stream), bytes, static_cast<DWORD>(count), &put, nullptr) &&
         put == count;
}

void prepare_process(FaultHandler on_fault_report) {
  // Never a dialog: a failure is reported on the console and in the status.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  fault_handler = on_fault_report;
  SetUnhandledExceptionFilter(on_fault);
}

// The wide arguments as the C runtime split them (wmain): the narrow argv has
// been through "best fit" (l for ł, \\ for ＼).
std::vector<std::string> program_arguments(int argc, ArgumentChar** argv) {
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i) arguments.push_back(wtf8_text(argv[i]));
  return arguments;
}

std::string console_text(std::string_view text) {
  std::wstring wide = wide_text(text);
  return ansi_text(wide.data(), static_cast<int>(wide.size()));
}

std::string program_path(const std::string& argv0) {
  wchar_t wide[MAX_PATH * 4];
  DWORD length = GetModuleFileNameW(nullptr, wide, static_cast<DWORD>(std::size(wide)));
  if (length == 0 || length >= std::size(wide)) return console_text(argv0);
  return ansi_text(wide, static_cast<int>(length));
}

void end_process(int status) {
  ExitProcess(static_cast<UINT>(status));
}

void end_process_at_once(int status) {
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(status));
  ExitProcess(static_cast<UINT>(status));  // not reached
}

std::uint64_t code_offset(const void* location) {
  return reinterpret_cast<std::uintptr_t>(location) -
         reinterpret_cast<std::uintptr_t>(program_module());
}

int caller_offsets(const void* location, std::uint64_t* offsets, int most) {
  CONTEXT context;
  if (in_fault) {
    context = fault_context;
  } else {
    RtlCaptureContext(&context);
  }
  return walk_callers(context, location, offsets, most);
}

}  // namespace platform
