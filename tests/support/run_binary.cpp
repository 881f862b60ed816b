// Runs the program under test (natively, under Wine, qemu-user, Node or gdb) and collects its
// output.
#include "support/run_binary.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace testing_support {

namespace {

// The build folder: the Windows build is its windows/quorvel.exe, and the
// Wine prefix and the log of reruns sit beside that.
std::filesystem::path build_folder() {
  return std::filesystem::path(program_path()).parent_path().parent_path();
}

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
    case Stream::slow_nonblocking_pipe:
      return dup2(pipe.write_end, target) == target && fcntl(target, F_SETPIPE_SZ, 4096) >= 0 &&
             fcntl(target, F_SETFL, fcntl(target, F_GETFL) | O_NONBLOCK) == 0;
  }
  return false;
}

// Everything the child needs is made before the fork: after a vfork the child
// shares the test's memory and may only make system calls; and as another
// user the build folder may be out of reach, and the runner with it.
[[noreturn]] void start_child(char* const* argv, const RunOptions& options, const Pipe& output,
                              const Pipe& error) {
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
  execvp(argv[0], argv);
  _exit(127);
}

// Starts the child. A test process holds a good deal of memory, and a fork
// makes every page of it copy-on-write for as long as the child lives: vfork
// halves the cost of a run. setuid needs a process of its own (the C library
// coordinates it across the threads it knows of), so a run as another user
// forks.
pid_t spawn(std::vector<std::string>& command, const RunOptions& options, const Pipe& output,
            const Pipe& error) {
  if (testing_windows_build()) {
    setenv("WINEPREFIX", (build_folder() / "wine-prefix").c_str(), 1);
    setenv("WINEDEBUG", "-all", 1);
    setenv("LC_ALL", "C.UTF-8", 1);  // Wine reads arguments in the locale's character set
  }
  std::vector<char*> argv;
  for (std::string& word : command) argv.push_back(word.data());
  argv.push_back(nullptr);
  pid_t child = options.user_id >= 0 ? fork() : vfork();
  if (child == 0) start_child(argv.data(), options, output, error);
  return child;
}

// Seconds after which a run counts as hung and is killed.
constexpr int hang_limit_s = 120;

bool ended(pid_t child, int& wait_status) {
  pid_t done;
  while ((done = waitpid(child, &wait_status, WNOHANG)) < 0 && errno == EINTR) {
  }
  return done == child;
}

// Reads both pipes to their end without letting either fill up; stops early
// when the program has ended but a process it started (Wine's services) still
// holds them. Sends the options' signal once its delay has passed.
int collect(int output_fd, int error_fd, pid_t child, const RunOptions& options,
            RunResult& result) {
  pollfd fds[2] = {{output_fd, POLLIN, 0}, {error_fd, POLLIN, 0}};
  std::string* sinks[2] = {&result.output, &result.error};
  int open_count = (output_fd >= 0) + (error_fd >= 0);
  bool signal_due = options.signal_number != 0;
  bool slow = options.output == Stream::slow_nonblocking_pipe;
  int wait_status = 0;
  bool reaped = false;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(hang_limit_s);
  if (slow) usleep(500000);  // the pipe fills before its reader starts
  while (open_count > 0) {
    if (signal_due && result.output.find(options.signal_after_output) != std::string::npos) {
      kill(child, options.signal_number);
      signal_due = false;
    }
    int ready = poll(fds, 2, 100);
    if (ready < 0 && errno != EINTR) break;
    if (ready == 0 && (reaped = ended(child, wait_status))) {
      break;
    } else if (ready == 0 && std::chrono::steady_clock::now() > deadline) {
      kill(child, SIGKILL);
      result.error += "\n[killed after " + std::to_string(hang_limit_s) + " s]\n";
      deadline = std::chrono::steady_clock::time_point::max();
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[65536];
      if (slow && i == 0) usleep(2000);
      ssize_t got = read(fds[i].fd, buffer, slow && i == 0 ? 512 : sizeof buffer);
      if (got > 0) sinks[i]->append(buffer, static_cast<std::size_t>(got));
      bool satisfied =
          i == 0 && options.output_limit != 0 && result.output.size() >= options.output_limit;
      if (got <= 0 || satisfied) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open_count;
      }
    }
  }
  for (pollfd& fd : fds)
    if (fd.fd >= 0) close(fd.fd);
  while (!reaped && waitpid(child, &wait_status, 0) < 0 && errno == EINTR) {
  }
  return wait_status;
}

}  // namespace

std::string program_path() {
  const char* other = std::getenv("QUORVEL_PROGRAM");
  return other != nullptr && *other != '\0' ? other : QUORVEL_BINARY;
}

std::string checker_path() {
  std::filesystem::path program = program_path();
  return program.replace_filename("quorvel-check" + program.extension().string());
}

std::string sheet_path() {
  std::filesystem::path program = program_path();
  return program.replace_filename("quorvel-sheet" + program.extension().string());
}

namespace {

// Builds for other processors run under qemu-user with that processor's
// libraries; the program's ELF header says which processor it is for. The
// list comes from cmake/processors.txt, with what the build found out about
// this machine.
struct ForeignProcessor {
  int elf_machine;
  const char* qemu;         // the runner of its programs; "" where they run here
  const char* static_qemu;  // the runner of its static programs; "" where they run here
  const char* triplet;
};
constexpr ForeignProcessor foreign_processors[] = {
#include "foreign_processors.inc"
};

int elf_machine(const std::string& path) {
  unsigned char header[20] = {};
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  bool complete = fd >= 0 && read(fd, header, sizeof header) == sizeof header;
  if (fd >= 0) close(fd);
  if (!complete || header[0] != 0x7F || header[1] != 'E' || header[2] != 'L') return 0;
  bool big_endian = header[5] == 2;
  return big_endian ? header[18] << 8 | header[19] : header[19] << 8 | header[18];
}

// A static program (QUORVEL_STATIC_PROGRAM set) has a runner of its own.
const char* runner_of(const ForeignProcessor& processor) {
  bool static_program = std::getenv("QUORVEL_STATIC_PROGRAM") != nullptr;
  return static_program ? processor.static_qemu : processor.qemu;
}

// The processor of a program that does not run here as it is, or none.
const ForeignProcessor* foreign_processor() {
  int machine = elf_machine(program_path());
  for (const ForeignProcessor& processor : foreign_processors)
    if (processor.elf_machine == machine && *runner_of(processor) != '\0') return &processor;
  return nullptr;
}

}  // namespace

std::vector<std::string> runner_prefix() {
  if (testing_windows_build()) return {"wine"};
  if (testing_node_build()) return {"node"};

  const ForeignProcessor* processor = foreign_processor();
  if (processor == nullptr) return {};
  return {runner_of(*processor), "-L", std::string("/usr/") + processor->triplet};
}

std::string tool_prefix() {
  const ForeignProcessor* processor = foreign_processor();
  return processor == nullptr ? "" : std::string(processor->triplet) + "-";
}

bool testing_windows_build() {
  return program_path().ends_with(".exe");
}

bool testing_node_build() {
  return program_path().ends_with(".js");
}

// Wine shows a Unix path through its drive Z:.
std::string shown_program_path(const std::string& path) {
  if (!testing_windows_build()) return path;
  std::string shown = "Z:" + path;
  for (char& c : shown)
    if (c == '/') c = '\\';
  return shown;
}

// Every character outside ASCII becomes "?", one for each of its UTF-16 units
// (two past U+FFFF): the tests use none that code page 1252 has.
std::string shown_name(const std::string& name) {
  if (!testing_windows_build()) return name;
  std::string shown;
  for (char c : name) {
    auto byte = static_cast<unsigned char>(c);
    if ((byte & 0xC0) != 0x80) shown += byte & 0x80 ? '?' : c;
    if (byte >= 0xF0) shown += '?';
  }
  return shown;
}

// Under Wine, a closed descriptor, a test's flock, other users and signals map
// onto nothing Windows knows, and the program carries PE, not ELF, debug info.
// gdb drives native programs only, not those under qemu-user. WebAssembly has
// no locks, no signals and no ELF code.
bool platform_can(Capability capability) {
  if (capability == Capability::debugger && foreign_processor() != nullptr) return false;
  if (testing_node_build())
    return capability == Capability::other_user || capability == Capability::file_size_limit ||
           capability == Capability::named_pipes || capability == Capability::closed_descriptors;
  return !testing_windows_build();
}

std::string lines(const std::vector<std::string>& texts) {
  std::string joined;
  for (const std::string& text : texts) joined += text + "\r\n";
  return joined;
}

namespace {

// A WTF-8 unpaired surrogate (ED A0..BF xx), which no UTF-8 command line can carry.
bool surrogate_at(const std::string& text, std::size_t i) {
  return i + 2 < text.size() && static_cast<unsigned char>(text[i]) == 0xED &&
         (static_cast<unsigned char>(text[i + 1]) & 0xE0) == 0xA0;
}

// The Windows command line for `arguments`: each in quotes (no test argument
// holds one), an unpaired surrogate written as the launcher's \uXXXX.
std::string windows_command_line(const std::vector<std::string>& arguments) {
  std::string line;
  for (const std::string& argument : arguments) {
    line += line.empty() ? "\"" : " \"";
    for (std::size_t i = 0; i < argument.size(); ++i) {
      if (!surrogate_at(argument, i)) {
        line += argument[i];
        continue;
      }
      unsigned code = 0xD000u | (argument[i + 1] & 0x3Fu) << 6 | (argument[i + 2] & 0x3Fu);
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04X", code);
      line += escape;
      i += 2;
    }
    line += '"';
  }
  return line;
}

bool needs_launcher(const std::vector<std::string>& arguments) {
  for (const std::string& argument : arguments)
    for (std::size_t i = 0; i < argument.size(); ++i)
      if (surrogate_at(argument, i)) return true;
  return false;
}

// The whole command: the runner, the program and its arguments. A raw Windows
// command line goes through the launcher beside quorvel.exe; a fault is
// raised by gdb at a breakpoint.
std::vector<std::string> command_for(const std::vector<std::string>& arguments,
                                     const RunOptions& options) {
  std::string program = options.program.empty() ? program_path() : options.program;
  std::vector<std::string> command = runner_prefix();
  if (testing_windows_build() && (!options.command_line.empty() || needs_launcher(arguments))) {
    std::string launcher =
        std::filesystem::path(program_path()).parent_path() / "command_line_launcher.exe";
    std::string line =
        options.command_line.empty() ? windows_command_line(arguments) : options.command_line;
    return {"wine", launcher, shown_program_path(program), line};
  }
  if (!options.fault_at.empty())
    command.insert(command.end(), {"gdb", "-batch", "-nx", "-ex", "set debuginfod enabled off",
                                   "-ex", "break " + options.fault_at, "-ex", "run", "-ex",
                                   "signal SIGSEGV", "-ex", "quit $_exitcode", "--args"});
  command.push_back(program);
  command.insert(command.end(), arguments.begin(), arguments.end());
  return command;
}

RunResult run_once(const std::vector<std::string>& arguments, const RunOptions& options) {
  std::vector<std::string> command = command_for(arguments, options);
  Pipe output = make_pipe();
  Pipe error = make_pipe();
  if (options.output == Stream::broken_pipe) close(output.read_end), output.read_end = -1;
  if (options.error == Stream::broken_pipe) close(error.read_end), error.read_end = -1;
  pid_t child = spawn(command, options, output, error);
  if (child < 0) throw std::runtime_error("fork failed");
  close(output.write_end);
  close(error.write_end);
  RunResult result;
  int wait_status = collect(output.read_end, error.read_end, child, options, result);
  if (WIFEXITED(wait_status)) result.status = WEXITSTATUS(wait_status);
  if (WIFSIGNALED(wait_status)) result.signal = WTERMSIG(wait_status);
  return result;
}

// What Wine, not the program, did wrong: a fault in Wine's own code (its own
// lines on standard error), or a start that failed (a status with no output).
std::string wine_trouble(const RunResult& result, const RunOptions& options) {
  for (const char* mark :
       {"wine: ", "wine client error", "wineserver: ", ":err:", "[killed after "})
    if (result.error.starts_with(mark) ||
        result.error.find(std::string("\n") + mark) != std::string::npos)
      return "Wine wrote: " + result.error.substr(0, result.error.find('\n'));
  bool silent = options.output == Stream::capture && result.output.empty() &&
                (options.error != Stream::capture || result.error.empty());
  if (result.status != 0 && silent)
    return "Wine ended with status " + std::to_string(result.status) + " and no output";
  return "";
}

// Counts a rerun where the test run can show it: on the test's own standard
// error and as a line in the build's log of reruns.
void count_rerun(const std::string& reason) {
  std::string line = "rerun under Wine: " + reason + "\n";
  [[maybe_unused]] ssize_t shown = write(2, line.data(), line.size());
  std::string log = build_folder() / "wine-reruns.log";
  int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return;
  [[maybe_unused]] ssize_t logged = write(fd, line.data(), line.size());
  close(fd);
}

}  // namespace

// Under Wine, an invocation that Wine itself spoiled is run once more; a second
// failure stands, so that the test fails for it.
RunResult run_program(const std::vector<std::string>& arguments, const RunOptions& options) {
  RunResult result = run_once(arguments, options);
  if (!testing_windows_build()) return result;
  std::string trouble = wine_trouble(result, options);
  if (trouble.empty()) return result;
  count_rerun(trouble);
  return run_once(arguments, options);
}

}  // namespace testing_support
