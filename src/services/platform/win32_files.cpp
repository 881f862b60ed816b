// Files and the console on Windows.
#include "services/exit_status.hpp"
#include "services/platform/win32.hpp"
#include "services/platform/windows_errors.hpp"
#include "services/platform/wtf8.hpp"

namespace platform {

namespace {

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

std::string multibyte_text(const wchar_t* wide, int length, UINT code_page, DWORD flags) {
  int bytes = WideCharToMultiByte(code_page, flags, wide, length, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(code_page, flags, wide, length, text.data(), bytes, nullptr, nullptr);
  return text;
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

}  // namespace

std::wstring wide_text(std::string_view text) {
  std::u16string wide = utf16_from_wtf8(text);
  return std::wstring(wide.begin(), wide.end());
}

std::string ansi_text(const wchar_t* wide, int length) {
  DWORD flags = GetACP() == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
  return multibyte_text(wide, length, CP_ACP, flags);
}

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
  identity.length = file_length(handle);
  return identity;
}

std::uint16_t read_file(Handle handle, void* buffer, std::size_t count, std::size_t& delivered) {
  delivered = 0;
  // Standard output is for writing; never wait on a console for it.
  if (handle == standard_output()) return exit_status::invalid_handle;
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

std::int64_t file_length(Handle handle) {
  LARGE_INTEGER length;
  if (GetFileType(as_handle(handle)) != FILE_TYPE_DISK ||
      !GetFileSizeEx(as_handle(handle), &length))
    return -1;
  return length.QuadPart;
}

std::uint16_t close_file_handle(Handle handle) {
  return CloseHandle(as_handle(handle)) ? 0 : last_error();
}

// A file on a disk, or no file yet; a folder is refused, a device written directly.
std::uint16_t written_whole(const std::string& name, bool& whole) {
  HANDLE file = CreateFileW(platform_name(name).c_str(), 0,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    whole = error == ERROR_FILE_NOT_FOUND;
    return whole ? 0 : io_error_for_system_code(error);
  }
  BY_HANDLE_FILE_INFORMATION information;
  bool folder = GetFileInformationByHandle(file, &information) &&
                (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  whole = GetFileType(file) == FILE_TYPE_DISK;
  CloseHandle(file);
  return folder ? exit_status::access_denied : 0;
}

std::uint16_t create_beside(const std::string& name, std::string& created, Handle& handle) {
  std::size_t slash = name.find_last_of("/\\");
  std::string folder = slash == std::string::npos ? "" : name.substr(0, slash + 1);
  std::string base = name.substr(folder.size());
  for (int attempt = 0;; ++attempt) {
    created = folder + "." + base + "." + std::to_string(GetCurrentProcessId()) + "-" +
              std::to_string(attempt) + "~";
    HANDLE file = CreateFileW(platform_name(created).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      handle = reinterpret_cast<Handle>(file);
      return 0;
    }
    if (GetLastError() != ERROR_FILE_EXISTS || attempt == 99) return last_error();
  }
}

std::uint16_t replace_file(const std::string& from, const std::string& to) {
  if (MoveFileExW(platform_name(from).c_str(), platform_name(to).c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return 0;
  return last_error();
}

std::uint16_t remove_file(const std::string& name) {
  return DeleteFileW(platform_name(name).c_str()) ? 0 : last_error();
}

bool write_console(Handle stream, const void* bytes, std::size_t count) {
  DWORD put = 0;
  return WriteFile(as_handle(stream), bytes, static_cast<DWORD>(count), &put, nullptr) &&
         put == count;
}

std::string console_text(std::string_view text) {
  std::wstring wide = wide_text(text);
  return ansi_text(wide.data(), static_cast<int>(wide.size()));
}

}  // namespace platform
