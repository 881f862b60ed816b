#include "support/run_binary.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <stdexcept>

namespace testing_support {

namespace {

struct Pipe {
  int read_end = -1;
  int write_end = -1;
};

Pipe make_pipe() {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  return {ends[0], ends[1]};
}

// Sets up one standard descriptor in the child; returns false when it failed.
bool place_stream(int target, Stream kind, const Pipe& pipe) {
  switch (kind) {
    case Stream::capture:
    case Stream::broken_pipe:
      return dup2(pipe.write_end, target) == target;
    case Stream::closed:
      close(target);
      return true;
    case Stream::device_full: {
      int fd = open("/dev/full", O_WRONLY);
      return fd >= 0 && dup2(fd, target) == target;
    }
  }
  return false;
}

[[noreturn]] void start_child(const std::vector<std::string>& arguments, const RunOptions& options,
                              const Pipe& output, const Pipe& error) {
  signal(SIGPIPE, SIG_DFL);  // the program must protect itself
  if (!options.working_directory.empty() && chdir(options.working_directory.c_str()) != 0)
    _exit(120);
  if (options.close_input) close(0);
  if (!place_stream(1, options.output, output) || !place_stream(2, options.error, error))
    _exit(121);
  if (options.file_size_limit >= 0) {
    rlimit limit{static_cast<rlim_t>(options.file_size_limit),
                 static_cast<rlim_t>(options.file_size_limit)};
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  if (options.user_id >= 0 && (setgid(static_cast<gid_t>(options.user_id)) != 0 ||
                               setuid(static_cast<uid_t>(options.user_id)) != 0))
    _exit(122);
  std::string program = options.program.empty() ? program_path() : options.program;
  std::vector<char*> argv{program.data()};
  std::string wine = "wine";
  if (testing_windows_build()) {
    setenv("WINEDEBUG", "-all", 1);
    argv.insert(argv.begin(), wine.data());
  }
  std::vector<std::string> copies = arguments;
  for (std::string& argument : copies) argv.push_back(argument.data());
  argv.push_back(nullptr);
  execvp(argv[0], argv.data());
  _exit(127);
}

// Reads both pipes to their end without letting either fill up.
// Sends the options' signal once its delay has passed.
void collect(int output_fd, int error_fd, pid_t child, const RunOptions& options,
             RunResult& result) {
  pollfd fds[2] = {{output_fd, POLLIN, 0}, {error_fd, POLLIN, 0}};
  std::string* sinks[2] = {&result.output, &result.error};
  int open_count = (output_fd >= 0) + (error_fd >= 0);
  bool signal_due = options.signal_number != 0;
  while (open_count > 0) {
    int ready = poll(fds, 2, signal_due ? options.signal_delay_ms : -1);
    if (ready < 0 && errno != EINTR) break;
    if (ready == 0 && signal_due) {
      kill(child, options.signal_number);
      signal_due = false;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[65536];
      ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
      if (got > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(got));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open_count;
      }
    }
  }
}

}  // namespace

std::string program_path() {
  const char* windows = std::getenv("QUORVEL_WINDOWS_EXE");
  return windows != nullptr && *windows != '\0' ? windows : QUORVEL_BINARY;
}

bool testing_windows_build() {
  return program_path().ends_with(".exe");
}

// Wine shows a Unix path through its drive Z:.
std::string shown_program_path(const std::string& path) {
  if (!testing_windows_build()) return path;
  std::string shown = "Z:" + path;
  for (char& c : shown)
    if (c == '/') c = '\\';
  return shown;
}

// Under Wine, a closed descriptor, a test's flock, other users and signals map
// onto nothing Windows knows, and the program carries PE, not ELF, debug info.
bool platform_can(Capability) {
  return !testing_windows_build();
}

std::string lines(const std::vector<std::string>& texts) {
  std::string joined;
  for (const std::string& text : texts) joined += text + "\r\n";
  return joined;
}

RunResult run_program(const std::vector<std::string>& arguments, const RunOptions& options) {
  Pipe output = make_pipe();
  Pipe error = make_pipe();
  if (options.output == Stream::broken_pipe) close(output.read_end), output.read_end = -1;
  if (options.error == Stream::broken_pipe) close(error.read_end), error.read_end = -1;
  pid_t child = fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) start_child(arguments, options, output, error);
  close(output.write_end);
  close(error.write_end);
  RunResult result;
  collect(output.read_end, error.read_end, child, options, result);
  int wait_status = 0;
  while (waitpid(child, &wait_status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(wait_status)) result.status = WEXITSTATUS(wait_status);
  if (WIFSIGNALED(wait_status)) result.signal = WTERMSIG(wait_status);
  return result;
}

}  // namespace testing_support
