// Makes a running Windows program crash for real, as a call through a null function pointer
// would: its main thread is stopped, made to "call" address 0 from where it stood, and let go.
// The access violation then happens inside that process, on its own stack, and reaches its
// own unhandled-exception filter; the stack above the fault is the program's real one.
// Usage: fault_main_thread IMAGE_NAME (e.g. halvark_launcher.exe)
#include <windows.h>
// After windows.h, whose types it uses.
#include <tlhelp32.h>

#include <cstdio>
#include <cstring>

namespace {

DWORD process_named(const char* image_name) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    DWORD found = 0;
    for (BOOL more = Process32First(snapshot, &entry); more && found == 0;
         more = Process32Next(snapshot, &entry)) {
        if (_stricmp(entry.szExeFile, image_name) == 0) {
            found = entry.th32ProcessID;
        }
    }
    CloseHandle(snapshot);
    return found;
}

// The thread that owns the program's visible window: the one running main() and the event
// loop (thread creation times do not tell it under Wine).
struct WindowSearch {
    DWORD process = 0;
    DWORD thread = 0;
};

BOOL CALLBACK note_window(HWND window, LPARAM search_address) {
    auto* search = reinterpret_cast<WindowSearch*>(search_address);
    DWORD process = 0;
    const DWORD thread = GetWindowThreadProcessId(window, &process);
    if (process == search->process && IsWindowVisible(window)) {
        search->thread = thread;
        return FALSE;
    }
    return TRUE;
}

DWORD main_thread_of(DWORD process) {
    WindowSearch search{process, 0};
    EnumWindows(note_window, reinterpret_cast<LPARAM>(&search));
    return search.thread;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fault_main_thread IMAGE_NAME\n");
        return 2;
    }
    const DWORD process_id = process_named(argv[1]);
    const DWORD thread_id = process_id != 0 ? main_thread_of(process_id) : 0;
    if (thread_id == 0) {
        std::fprintf(stderr, "no running %s with a window\n", argv[1]);
        return 1;
    }
    HANDLE process = OpenProcess(PROCESS_VM_WRITE | PROCESS_VM_OPERATION, FALSE, process_id);
    HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT | THREAD_SET_CONTEXT,
                               FALSE, thread_id);
    if (process == nullptr || thread == nullptr || SuspendThread(thread) == DWORD(-1)) {
        std::fprintf(stderr, "cannot stop the main thread of %s\n", argv[1]);
        return 1;
    }
    CONTEXT context{};
    context.ContextFlags = CONTEXT_FULL;
    bool redirected = false;
    if (GetThreadContext(thread, &context)) {
        // What a call pushes: the address it would have come back to.
        const DWORD64 return_address = context.Rip;
        context.Rsp -= sizeof return_address;
        SIZE_T written = 0;
        redirected = WriteProcessMemory(process, reinterpret_cast<void*>(context.Rsp),
                                        &return_address, sizeof return_address, &written) &&
                     written == sizeof return_address;
        context.Rip = 0;
        redirected = redirected && SetThreadContext(thread, &context);
    }
    ResumeThread(thread);
    // A thread waiting in the system takes its new context when the wait returns: wake it.
    PostThreadMessageA(thread_id, WM_NULL, 0, 0);
    CloseHandle(thread);
    CloseHandle(process);
    if (!redirected) {
        std::fprintf(stderr, "cannot redirect the main thread of %s\n", argv[1]);
        return 1;
    }
    return 0;
}
