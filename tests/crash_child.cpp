// Crashes for real, with the native crash handler installed: what test_native_crash checks.
//   crash_child null|call-null|abort|divide|exit RECORD MINIDUMP
#include <cstdlib>
#include <cstring>

#include "diagnostics/native_crash_handler.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

volatile int zero = 0;
volatile int seven = 7;  // not 1: the compiler turns 1 / x into comparisons
int (*volatile no_function)() = nullptr;

// Uninstrumented, so that the processor itself traps, as it would in a release build.
__attribute__((noinline, no_sanitize("address", "undefined"))) int fault(const char* kind) {
    if (std::strcmp(kind, "null") == 0) {
        // cppcheck-suppress nullPointer
        *static_cast<volatile int*>(nullptr) = 1;  // the fault this program exists for
    } else if (std::strcmp(kind, "call-null") == 0) {
        return no_function() + 1;  // a call, not a jump: the caller's frame stays
    } else if (std::strcmp(kind, "abort") == 0) {
        std::abort();
    } else if (std::strcmp(kind, "divide") == 0) {
        return seven / zero;
    }
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
#ifdef _WIN32
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);  // no debugger, no dialog
#endif
    if (argc < 4 || !halvark::diagnostics::install_native_crash_handler(
                        {argv[2], argv[3], "9.9.9", "run.log"})) {
        return 2;
    }
    const int result = fault(argv[1]);
    halvark::diagnostics::uninstall_native_crash_handler();
    return result;
}
