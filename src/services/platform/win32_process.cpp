// The process on Windows: faults, the command line, the program's path, the
// end, and code locations as offsets from the program's image base.
#include "services/exit_status.hpp"
#include "services/platform/win32.hpp"
#include "services/platform/wtf8.hpp"

namespace platform {

namespace {

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
      return exit_status::memory_fault;
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_INT_OVERFLOW:
      return exit_status::arithmetic_fault;
    default:
      return exit_status::invalid_instruction;  // and the rest
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
  for (int i = 0; i < argc; ++i) {
    std::wstring_view wide = argv[i];
    arguments.push_back(wtf8_from_utf16(std::u16string(wide.begin(), wide.end())));
  }
  return arguments;
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
