#pragma once

#include <string>

// No Qt here: what runs at the moment of a crash uses only the operating system's calls.
namespace halvark::diagnostics {

struct NativeCrashSetup {
    std::string record_path;    // UTF-8; opened (and created empty) at installation
    std::string minidump_path;  // Windows: a small minidump beside the record
    std::string version;
    std::string log_name;  // this run's session log, which the report carries
};

// Records a native crash (Linux: SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, on an alternate
// stack; Windows: an unhandled exception) into the record file: the signal or exception,
// its code and address, the stack's return addresses each as module + offset with the
// module's build id, the version and the log's name. The process then ends as it would have:
// the earlier handler, or the default action, takes the signal on. False when the record
// file cannot be opened; nothing is installed then.
bool install_native_crash_handler(const NativeCrashSetup& setup);

// Linux: takes note of the modules loaded since (plug-ins, libraries loaded on demand), so
// that their frames are named; the handler itself may not look them up.
void note_loaded_modules();

// At a normal end: the handlers go, and the record file with them while it is empty.
void uninstall_native_crash_handler();

// The running program's build id in hex (Linux: the GNU build id; Windows: the image's time
// stamp and size, as symbol stores key them); empty where none is known.
std::string program_build_id();

}  // namespace halvark::diagnostics
