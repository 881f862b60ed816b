// Files and the console on every POSIX build, native and WebAssembly alike.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>  // rename

#include "services/exit_status.hpp"
#include "services/platform/posix.hpp"

namespace platform {

namespace {

constexpr int standard_output_fd = 1;
constexpr int standard_error_fd = 2;

// Both "/" and "\" separate directories in the names the program is given.
std::string platform_name(const std::string& name) {
  std::string path = name;
  for (char& c : path)
    if (c == '\\') c = '/';
  return path;
}

bool directory_of_name_exists(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return true;
  std::string directory = slash == 0 ? "/" : path.substr(0, slash);
  struct stat status;
  return stat(directory.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

std::uint16_t open_error(int error, const std::string& path) {
  bool directory_exists = error != ENOENT || directory_of_name_exists(path);
  return io_error_for_errno(error, IoOperation::open, directory_exists);
}

std::uint16_t fail_open(int fd, IoOperation operation) {
  int error = errno;
  close(fd);
  return io_error_for_errno(error, operation, true);
}

// A file must never sit on descriptor 0, 1 or 2 (one of them was closed when the
// process started): move it up and put /dev/null, opened for reading only, in
// its place, so that console writes through that descriptor still fail.
int keep_off_standard_descriptors(int fd) {
  if (fd > standard_error_fd) return fd;
  int moved = fcntl(fd, F_DUPFD_CLOEXEC, standard_error_fd + 1);
  if (moved < 0) return -1;
  int null_fd = open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (null_fd < 0 || dup2(null_fd, fd) < 0) close(fd);
  if (null_fd >= 0 && null_fd != fd) close(null_fd);
  return moved;
}

// Opens, moves off the standard descriptors and checks what the name is.
std::uint16_t open_checked(const std::string& path, int flags, int& fd, struct stat& status) {
  fd = open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY, 0666);
  if (fd < 0) return open_error(errno, path);
  int moved = keep_off_standard_descriptors(fd);
  if (moved < 0) return fail_open(fd, IoOperation::open);
  fd = moved;
  if (fstat(fd, &status) != 0) return fail_open(fd, IoOperation::other);
  return 0;
}

// Device numbers live in a space of their own, block and character apart,
// beside the devices that hold files.
constexpr std::uint64_t block_devices = ~std::uint64_t{0};
constexpr std::uint64_t character_devices = ~std::uint64_t{0} - 1;

void add_key(FileIdentity& identity, std::uint64_t space, std::uint64_t number) {
  identity.keys[identity.count++] = {space, number};
}

// Writes every byte. A parent may have left a pipe non-blocking: while it is
// full, wait until it takes more instead of failing. In the usual case the
// first write does it all.
ssize_t write_all(int fd, const void* bytes, std::size_t count) {
  std::size_t done = 0;
  while (done < count) {
    ssize_t put = write(fd, static_cast<const char*>(bytes) + done, count - done);
    if (put > 0) {
      done += static_cast<std::size_t>(put);
      continue;
    }
    bool full = put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    if (full && wait_until_writable(fd)) continue;
    return put;  // the failure's errno is left for the caller
  }
  return static_cast<ssize_t>(done);
}

// Only regular files take part in the sharing rule: devices such as /dev/null
// may be used by many runs at once.
bool take_lock(int fd, const struct stat& status, int kind) {
  return !S_ISREG(status.st_mode) || flock(fd, kind | LOCK_NB) == 0;
}

}  // namespace

Handle standard_output() {
  return standard_output_fd;
}
Handle standard_error() {
  return standard_error_fd;
}

// A FIFO's open would wait for a writer, and so would each read while none is
// there: it is opened without waiting, and then reads wait for data as a
// pipe's do, unless no writer is there (the FIFO then reads as empty). A
// terminal or other device reads as it always does.
std::uint16_t open_existing_file(const std::string& name, Handle& handle) {
  int fd = -1;
  struct stat status;
  if (std::uint16_t error = open_checked(platform_name(name), O_RDONLY | O_NONBLOCK, fd, status))
    return error;
  if (S_ISDIR(status.st_mode)) {
    close(fd);
    return exit_status::access_denied;
  }
  bool waits = S_ISFIFO(status.st_mode) || S_ISCHR(status.st_mode);
  if (waits && fcntl(fd, F_SETFL, O_RDONLY) != 0) return fail_open(fd, IoOperation::open);
  if (!take_lock(fd, status, LOCK_SH)) return fail_open(fd, IoOperation::open);
  handle = fd;
  return 0;
}

std::uint16_t open_for_writing(const std::string& name, Handle& handle) {
  int fd = -1;
  struct stat status;
  if (std::uint16_t error = open_checked(platform_name(name), O_WRONLY | O_CREAT, fd, status))
    return error;
  if (!take_lock(fd, status, LOCK_EX)) return fail_open(fd, IoOperation::open);
  handle = fd;
  return 0;
}

// Only a regular file can be cut; for anything else ftruncate says EINVAL.
std::uint16_t empty_file(Handle handle) {
  if (ftruncate(static_cast<int>(handle), 0) == 0 || errno == EINVAL) return 0;
  return io_error_for_errno(errno, IoOperation::other, true);
}

FileIdentity file_identity(Handle handle) {
  FileIdentity identity;
  struct stat status;
  int fd = static_cast<int>(handle);
  if (fstat(fd, &status) != 0) return identity;
  if (S_ISBLK(status.st_mode)) {
    add_key(identity, block_devices, status.st_rdev);
    FileIdentity::Key backing;
    if (loop_backing_file(fd, status.st_rdev, backing))
      add_key(identity, backing.space, backing.number);
  } else if (S_ISCHR(status.st_mode)) {
    add_key(identity, character_devices, status.st_rdev);
  } else {
    add_key(identity, status.st_dev, status.st_ino);
  }
  if (S_ISREG(status.st_mode)) identity.length = status.st_size;
  return identity;
}

std::uint16_t read_file(Handle handle, void* buffer, std::size_t count, std::size_t& delivered) {
  delivered = 0;
  // Standard output is for writing; never wait on a terminal for it.
  if (handle == standard_output_fd) return io_error_for_errno(EBADF, IoOperation::read, true);
  ssize_t got = read(static_cast<int>(handle), buffer, count);
  if (got < 0) return errno == EPIPE ? 0 : io_error_for_errno(errno, IoOperation::read, true);
  delivered = static_cast<std::size_t>(got);
  return 0;
}

std::uint16_t write_file(Handle handle, const void* buffer, std::size_t count,
                         std::size_t& written) {
  written = 0;
  ssize_t put = write_all(static_cast<int>(handle), buffer, count);
  if (put < 0) return io_error_for_errno(errno, IoOperation::write, true);
  written = static_cast<std::size_t>(put);
  return 0;
}

std::uint16_t seek_file(Handle handle, std::int64_t position) {
  if (lseek(static_cast<int>(handle), static_cast<off_t>(position), SEEK_SET) < 0)
    return io_error_for_errno(errno, IoOperation::other, true);
  return 0;
}

std::int64_t file_length(Handle handle) {
  struct stat status;
  if (fstat(static_cast<int>(handle), &status) != 0 || !S_ISREG(status.st_mode)) return -1;
  return status.st_size;
}

std::uint16_t close_file_handle(Handle handle) {
  if (close(static_cast<int>(handle)) != 0)
    return io_error_for_errno(errno, IoOperation::other, true);
  return 0;
}

std::uint16_t written_whole(const std::string& name, bool& whole) {
  struct stat status;
  std::string path = platform_name(name);
  if (stat(path.c_str(), &status) != 0) {
    whole = errno == ENOENT;
    return whole ? 0 : open_error(errno, path);
  }
  if (S_ISDIR(status.st_mode)) return exit_status::access_denied;
  whole = S_ISREG(status.st_mode);
  return 0;
}

// ".NAME.N~" beside it: hidden, and a name of its own (the first N free).
std::uint16_t create_beside(const std::string& name, std::string& created, Handle& handle) {
  std::string path = platform_name(name);
  std::size_t slash = path.find_last_of('/');
  std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  std::string base = path.substr(folder.size());
  for (int attempt = 0;; ++attempt) {
    created =
        folder + "." + base + "." + std::to_string(getpid()) + "-" + std::to_string(attempt) + "~";
    int fd = open(created.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      handle = fd;
      return 0;
    }
    if (errno != EEXIST || attempt == 99) return open_error(errno, created);
  }
}

std::uint16_t replace_file(const std::string& from, const std::string& to) {
  if (rename(from.c_str(), platform_name(to).c_str()) == 0) return 0;
  return io_error_for_errno(errno, IoOperation::other, true);
}

std::uint16_t remove_file(const std::string& name) {
  if (unlink(name.c_str()) == 0) return 0;
  return io_error_for_errno(errno, IoOperation::other, true);
}

bool write_console(Handle stream, const void* bytes, std::size_t count) {
  return write_all(static_cast<int>(stream), bytes, count) == static_cast<ssize_t>(count);
}

// Names and texts are bytes here, used and shown as they are.
std::string console_text(std::string_view text) {
  return std::string(text);
}

}  // namespace platform
