#include "diagnostics/native_crash_handler.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>

#if defined(_WIN32)
#include <windows.h>
// windows.h first: dbghelp.h needs its types.
#include <dbghelp.h>
#else
#include <elf.h>
#include <execinfo.h>
#include <fcntl.h>
#include <link.h>
#include <signal.h>
#include <ucontext.h>
#include <unistd.h>

#include <mutex>
#endif

namespace halvark::diagnostics {

namespace {

constexpr int kMaxFrames = 64;

// Text built without allocation or locale: what a crashing process may still do.
template <std::size_t kCapacity>
class Text {
  public:
    void add(const char* text) {
        while (*text != '\0' && length_ < sizeof buffer_) {
            buffer_[length_++] = *text++;
        }
    }
    void add_hex(std::uintptr_t value) {
        char digits[2 + 2 * sizeof value];
        digits[0] = '0';
        digits[1] = 'x';
        for (std::size_t i = 0; i < 2 * sizeof value; ++i) {
            digits[2 + i] = "0123456789abcdef"[(value >> (4 * (2 * sizeof value - 1 - i))) & 0xf];
        }
        for (const char digit : digits) {
            add_char(digit);
        }
    }
    void add_decimal(long long value) {
        char digits[24];
        int count = 0;
        const bool negative = value < 0;
        unsigned long long rest = negative ? 0ULL - static_cast<unsigned long long>(value)
                                           : static_cast<unsigned long long>(value);
        do {
            digits[count++] = static_cast<char>('0' + rest % 10);
            rest /= 10;
        } while (rest != 0);
        if (negative) {
            add_char('-');
        }
        while (count > 0) {
            add_char(digits[--count]);
        }
    }
    void add_char(char c) {
        if (length_ < sizeof buffer_) {
            buffer_[length_++] = c;
        }
    }
    const char* data() const { return buffer_; }
    std::size_t size() const { return length_; }
    void clear() { length_ = 0; }

  private:
    char buffer_[kCapacity];
    std::size_t length_ = 0;
};
using RecordText = Text<32768>;  // 64 frames of a module path and a build id each fit
using LineText = Text<2048>;

void copy_text(char* target, std::size_t capacity, const char* text) {
    std::size_t i = 0;
    for (; text != nullptr && text[i] != '\0' && i + 1 < capacity; ++i) {
        target[i] = text[i];
    }
    target[i] = '\0';
}

// Filled at installation, read by the handler.
char header_text[2048];
std::atomic<bool> crashed{false};
RecordText record;  // static storage: the handler's stack may be small

#if defined(_WIN32)

HANDLE record_file = INVALID_HANDLE_VALUE;
HANDLE minidump_file = INVALID_HANDLE_VALUE;
std::wstring record_path_wide;
std::wstring minidump_path_wide;
LPTOP_LEVEL_EXCEPTION_FILTER previous_filter = nullptr;

std::wstring wide(const std::string& utf8) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring result(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), result.data(), length);
    return result;
}

// The key symbol stores file an image under: its link time stamp and its size.
template <typename Target>
void add_image_key(Target& text, HMODULE module) {
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(module);
    if (dos == nullptr || dos->e_magic != IMAGE_DOS_SIGNATURE) {
        text.add("-");
        return;
    }
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        reinterpret_cast<const char*>(module) + dos->e_lfanew);
    char key[17];
    const std::uint32_t parts[2] = {nt->FileHeader.TimeDateStamp, nt->OptionalHeader.SizeOfImage};
    int at = 0;
    for (const std::uint32_t part : parts) {
        for (int shift = 28; shift >= 0; shift -= 4) {
            key[at++] = "0123456789ABCDEF"[(part >> shift) & 0xf];
        }
    }
    key[at] = '\0';
    text.add(key);
}

const char* exception_name(DWORD code) {
    switch (code) {
        case EXCEPTION_ACCESS_VIOLATION:
            return "EXCEPTION_ACCESS_VIOLATION";
        case EXCEPTION_ILLEGAL_INSTRUCTION:
            return "EXCEPTION_ILLEGAL_INSTRUCTION";
        case EXCEPTION_INT_DIVIDE_BY_ZERO:
            return "EXCEPTION_INT_DIVIDE_BY_ZERO";
        case EXCEPTION_STACK_OVERFLOW:
            return "EXCEPTION_STACK_OVERFLOW";
        case EXCEPTION_IN_PAGE_ERROR:
            return "EXCEPTION_IN_PAGE_ERROR";
        case EXCEPTION_PRIV_INSTRUCTION:
            return "EXCEPTION_PRIV_INSTRUCTION";
        case EXCEPTION_DATATYPE_MISALIGNMENT:
            return "EXCEPTION_DATATYPE_MISALIGNMENT";
        case EXCEPTION_FLT_DIVIDE_BY_ZERO:
            return "EXCEPTION_FLT_DIVIDE_BY_ZERO";
        case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
            return "EXCEPTION_ARRAY_BOUNDS_EXCEEDED";
        case 0xC0000409:
            return "STATUS_STACK_BUFFER_OVERRUN";  // also what abort() raises
        default:
            return "EXCEPTION_UNKNOWN";
    }
}

void add_frame(RecordText& text, DWORD64 address) {
    HMODULE module = nullptr;
    text.add("frame=");
    text.add_hex(static_cast<std::uintptr_t>(address));
    // Address 0 would be taken as "no address": the program's own image.
    if (address != 0 && GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                               GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                           reinterpret_cast<LPCWSTR>(address), &module)) {
        wchar_t path[MAX_PATH];
        const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
        char name[4 * MAX_PATH];
        const int bytes = WideCharToMultiByte(CP_UTF8, 0, path, int(length), name,
                                              int(sizeof name) - 1, nullptr, nullptr);
        name[bytes > 0 ? bytes : 0] = '\0';
        text.add(" ");
        text.add(name);
        text.add(" ");
        text.add_hex(static_cast<std::uintptr_t>(address - reinterpret_cast<DWORD64>(module)));
        text.add(" ");
        add_image_key(text, module);
    } else {
        text.add(" ? ");
        text.add_hex(static_cast<std::uintptr_t>(address));
        text.add(" -");
    }
    text.add("\n");
}

LONG WINAPI on_unhandled_exception(EXCEPTION_POINTERS* pointers) {
    if (crashed.exchange(true) || record_file == INVALID_HANDLE_VALUE) {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    const EXCEPTION_RECORD& exception = *pointers->ExceptionRecord;
    record.clear();
    record.add(header_text);
    record.add("signal=");
    record.add(exception_name(exception.ExceptionCode));
    record.add("\ncode=");
    record.add_decimal(static_cast<long long>(exception.ExceptionCode));
    record.add("\naddress=");
    // An access violation's own address is the one it touched; else where it happened.
    const bool touched =
        exception.ExceptionCode == EXCEPTION_ACCESS_VIOLATION && exception.NumberParameters >= 2;
    record.add_hex(touched ? static_cast<std::uintptr_t>(exception.ExceptionInformation[1])
                           : reinterpret_cast<std::uintptr_t>(exception.ExceptionAddress));
    record.add("\n");
#if defined(_M_X64) || defined(__x86_64__)
    CONTEXT context = *pointers->ContextRecord;
    // A call through a null pointer faults at 0: that frame is told too, and its caller is
    // found as a leaf function's would be.
    for (int i = 0; i < kMaxFrames && (i == 0 || context.Rip != 0); ++i) {
        add_frame(record, context.Rip);
        DWORD64 image_base = 0;
        PRUNTIME_FUNCTION function = RtlLookupFunctionEntry(context.Rip, &image_base, nullptr);
        if (function == nullptr) {  // a leaf function: its return address is on top
            context.Rip = *reinterpret_cast<DWORD64*>(context.Rsp);
            context.Rsp += 8;
        } else {
            void* handler_data = nullptr;
            DWORD64 establisher = 0;
            RtlVirtualUnwind(UNW_FLAG_NHANDLER, image_base, context.Rip, function, &context,
                             &handler_data, &establisher, nullptr);
        }
    }
#else
    add_frame(record, reinterpret_cast<DWORD64>(exception.ExceptionAddress));
#endif
    if (minidump_file != INVALID_HANDLE_VALUE) {
        MINIDUMP_EXCEPTION_INFORMATION information{GetCurrentThreadId(), pointers, FALSE};
        if (!MiniDumpWriteDump(GetCurrentProcess(), GetCurrentProcessId(), minidump_file,
                               MiniDumpNormal, &information, nullptr, nullptr)) {
            record.add("minidump=failed\n");
        }
        FlushFileBuffers(minidump_file);
    }
    record.add("end\n");
    DWORD written = 0;
    WriteFile(record_file, record.data(), DWORD(record.size()), &written, nullptr);
    FlushFileBuffers(record_file);
    return previous_filter != nullptr ? previous_filter(pointers) : EXCEPTION_CONTINUE_SEARCH;
}

HANDLE open_for_crash(const std::wstring& path) {
    return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

#else

int record_fd = -1;
char record_path_copy[4096];
constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
constexpr const char* kSignalNames[] = {"SIGSEGV", "SIGBUS", "SIGILL", "SIGFPE", "SIGABRT"};
constexpr int kSignalCount = sizeof kSignals / sizeof kSignals[0];
struct sigaction previous_actions[kSignalCount];
alignas(16) char alternate_stack[64 * 1024];

struct Module {
    std::uintptr_t base = 0;  // what the file's addresses are relative to
    std::uintptr_t start = 0;
    std::uintptr_t end = 0;
    char path[256] = {};
    char build_id[41] = {};
};
constexpr int kMaxModules = 512;
struct ModuleTable {
    Module modules[kMaxModules];
    int count = 0;
};
// Two tables: the handler reads the published one while the other is refilled.
ModuleTable module_tables[2];
std::atomic<int> published_table{-1};
std::mutex refill_mutex;
char program_path[256];

void read_build_id(const dl_phdr_info& info, const ElfW(Phdr) & header, char* target) {
    // The loader gives the module's base as a number: the notes are mapped there.
    // NOLINTNEXTLINE(performance-no-int-to-ptr)
    const char* notes = reinterpret_cast<const char*>(info.dlpi_addr + header.p_vaddr);
    std::size_t at = 0;
    while (at + sizeof(ElfW(Nhdr)) <= header.p_memsz) {
        const auto* note = reinterpret_cast<const ElfW(Nhdr)*>(notes + at);
        const std::size_t name_at = at + sizeof(ElfW(Nhdr));
        const std::size_t desc_at = name_at + ((note->n_namesz + 3) & ~3U);
        if (note->n_type == NT_GNU_BUILD_ID && note->n_namesz == 4 &&
            std::memcmp(notes + name_at, "GNU", 4) == 0) {
            const auto* bytes = reinterpret_cast<const unsigned char*>(notes + desc_at);
            std::size_t i = 0;
            for (; i < note->n_descsz && 2 * i + 2 < 41; ++i) {
                target[2 * i] = "0123456789abcdef"[bytes[i] >> 4];
                target[2 * i + 1] = "0123456789abcdef"[bytes[i] & 0xf];
            }
            target[2 * i] = '\0';
            return;
        }
        at = desc_at + ((note->n_descsz + 3) & ~3U);
    }
}

int note_module(dl_phdr_info* info, std::size_t, void* data) {
    auto& table = *static_cast<ModuleTable*>(data);
    if (table.count >= kMaxModules) {
        return 1;
    }
    Module& module = table.modules[table.count];
    module = Module{};
    module.base = info->dlpi_addr;
    module.start = UINTPTR_MAX;
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& header = info->dlpi_phdr[i];
        if (header.p_type == PT_LOAD) {
            module.start = std::min<std::uintptr_t>(module.start, info->dlpi_addr + header.p_vaddr);
            module.end = std::max<std::uintptr_t>(
                module.end, info->dlpi_addr + header.p_vaddr + header.p_memsz);
        } else if (header.p_type == PT_NOTE && module.build_id[0] == '\0') {
            read_build_id(*info, header, module.build_id);
        }
    }
    const bool program = info->dlpi_name == nullptr || info->dlpi_name[0] == '\0';
    copy_text(module.path, sizeof module.path, program ? program_path : info->dlpi_name);
    if (module.end > module.start) {
        ++table.count;
    }
    return 0;
}

void add_frame(RecordText& text, std::uintptr_t address) {
    text.add("frame=");
    text.add_hex(address);
    const int published = published_table.load(std::memory_order_acquire);
    if (published >= 0) {
        const ModuleTable& table = module_tables[published];
        for (int i = 0; i < table.count; ++i) {
            const Module& module = table.modules[i];
            if (address >= module.start && address < module.end) {
                text.add(" ");
                text.add(module.path);
                text.add(" ");
                text.add_hex(address - module.base);
                text.add(" ");
                text.add(module.build_id[0] != '\0' ? module.build_id : "-");
                text.add("\n");
                return;
            }
        }
    }
    text.add(" ? ");
    text.add_hex(address);
    text.add(" -\n");
}

std::uintptr_t faulting_instruction(void* context) {
#if defined(__x86_64__)
    return static_cast<std::uintptr_t>(
        static_cast<ucontext_t*>(context)->uc_mcontext.gregs[REG_RIP]);
#elif defined(__aarch64__)
    return static_cast<std::uintptr_t>(static_cast<ucontext_t*>(context)->uc_mcontext.pc);
#else
    (void)context;
    return 0;
#endif
}

// The interrupted thread's stack pointer and instruction, as the fault left them.
std::uintptr_t saved_stack_pointer = 0;

std::uintptr_t unwind_from_caller_of_null(void* context, std::uintptr_t at) {
#if defined(__x86_64__)
    greg_t* registers = static_cast<ucontext_t*>(context)->uc_mcontext.gregs;
    if (at == 0 && registers[REG_RSP] != 0) {
        saved_stack_pointer = static_cast<std::uintptr_t>(registers[REG_RSP]);
        // The stack pointer is an address: the return address the call pushed is there.
        // NOLINTNEXTLINE(performance-no-int-to-ptr)
        const std::uintptr_t caller = *reinterpret_cast<const std::uintptr_t*>(saved_stack_pointer);
        const std::uintptr_t above = saved_stack_pointer + sizeof caller;
        registers[REG_RIP] = static_cast<greg_t>(caller);
        registers[REG_RSP] = static_cast<greg_t>(above);
        return caller;
    }
#else
    (void)context;
#endif
    return at;
}

void restore_interrupted_context(void* context, std::uintptr_t at) {
#if defined(__x86_64__)
    greg_t* registers = static_cast<ucontext_t*>(context)->uc_mcontext.gregs;
    if (at == 0 && saved_stack_pointer != 0) {
        registers[REG_RIP] = 0;
        registers[REG_RSP] = static_cast<greg_t>(saved_stack_pointer);
    }
#else
    (void)context;
    (void)at;
#endif
}

void restore_previous_actions() {
    for (int i = 0; i < kSignalCount; ++i) {
        sigaction(kSignals[i], &previous_actions[i], nullptr);
    }
}

void on_fatal_signal(int number, siginfo_t* info, void* context) {
    // Whatever happens from here on (a second fault, an abort in a handler taken on) ends
    // the process the way it would have ended without us.
    restore_previous_actions();
    if (!crashed.exchange(true) && record_fd >= 0) {
        record.clear();
        record.add(header_text);
        record.add("signal=");
        for (int i = 0; i < kSignalCount; ++i) {
            if (kSignals[i] == number) {
                record.add(kSignalNames[i]);
            }
        }
        record.add("\ncode=");
        record.add_decimal(info->si_code);
        // A fault's own address; a signal that was sent carries the sender's id there
        // instead, so where the thread stood is told.
        const std::uintptr_t at = faulting_instruction(context);
        record.add("\naddress=");
        record.add_hex(info->si_code > 0 ? reinterpret_cast<std::uintptr_t>(info->si_addr) : at);
        record.add("\n");
        // A call through a null pointer stands at 0, where no unwinder goes on: for the
        // walk, the interrupted context is made to have returned to its caller (restored
        // afterwards, as the fault must come again where it was).
        const std::uintptr_t resume = unwind_from_caller_of_null(context, at);
        void* frames[kMaxFrames];
        const int count = backtrace(frames, kMaxFrames);
        restore_interrupted_context(context, at);
        // The first frames are this handler and the kernel's trampoline: the stack of
        // interest starts at the instruction that faulted.
        int first = 0;
        while (resume != 0 && first < count &&
               reinterpret_cast<std::uintptr_t>(frames[first]) != resume) {
            ++first;
        }
        if (at == 0 && resume != 0) {
            add_frame(record, 0);
        }
        if (first == count) {
            first = 0;
            if (resume != 0) {
                add_frame(record, resume);
            }
        }
        for (int i = first; i < count; ++i) {
            add_frame(record, reinterpret_cast<std::uintptr_t>(frames[i]));
        }
        record.add("end\n");
        const char* data = record.data();
        std::size_t left = record.size();
        while (left > 0) {
            const ssize_t written = ::write(record_fd, data, left);
            if (written <= 0) {
                break;
            }
            data += written;
            left -= static_cast<std::size_t>(written);
        }
        ::fsync(record_fd);
    }
    // A fault the processor raised comes again when the handler returns, now to the
    // restored action with its own details; a signal that was sent is sent again.
    if (info->si_code <= 0 || number == SIGABRT) {
        ::raise(number);
    }
}

#endif

}  // namespace

bool install_native_crash_handler(const NativeCrashSetup& setup) {
    const std::string own_build_id = program_build_id();
    LineText header;
    header.add("halvark-native-crash 1\nversion=");
    header.add(setup.version.c_str());
    header.add("\nbuild_id=");
    header.add(own_build_id.empty() ? "-" : own_build_id.c_str());
    header.add("\nlog=");
    header.add(setup.log_name.c_str());
    header.add("\n");
    const std::size_t length = std::min(header.size(), sizeof header_text - 1);
    std::memcpy(header_text, header.data(), length);
    header_text[length] = '\0';
#if defined(_WIN32)
    record_path_wide = wide(setup.record_path);
    record_file = open_for_crash(record_path_wide);
    if (record_file == INVALID_HANDLE_VALUE) {
        return false;
    }
    if (!setup.minidump_path.empty()) {
        minidump_path_wide = wide(setup.minidump_path);
        minidump_file = open_for_crash(minidump_path_wide);
    }
    previous_filter = SetUnhandledExceptionFilter(on_unhandled_exception);
    return true;
#else
    copy_text(record_path_copy, sizeof record_path_copy, setup.record_path.c_str());
    record_fd = ::open(record_path_copy, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (record_fd < 0) {
        return false;
    }
    note_loaded_modules();
    // backtrace() loads its unwinder on first use, which allocates: never in the handler.
    void* warm_up[1];
    backtrace(warm_up, 1);
    stack_t stack{};
    stack.ss_sp = alternate_stack;
    stack.ss_size = sizeof alternate_stack;
    sigaltstack(&stack, nullptr);  // a stack overflow leaves the thread's own stack no room
    struct sigaction action {};
    action.sa_sigaction = on_fatal_signal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < kSignalCount; ++i) {
        sigaction(kSignals[i], &action, &previous_actions[i]);
    }
    return true;
#endif
}

void note_loaded_modules() {
#if !defined(_WIN32)
    const std::lock_guard lock(refill_mutex);
    if (program_path[0] == '\0') {
        const ssize_t length = ::readlink("/proc/self/exe", program_path, sizeof program_path - 1);
        program_path[length > 0 ? length : 0] = '\0';
    }
    const int spare = published_table.load() == 0 ? 1 : 0;
    module_tables[spare].count = 0;
    dl_iterate_phdr(note_module, &module_tables[spare]);
    published_table.store(spare, std::memory_order_release);
#endif
}

void uninstall_native_crash_handler() {
    if (crashed) {
        return;
    }
#if defined(_WIN32)
    SetUnhandledExceptionFilter(previous_filter);
    for (auto [file, path] : {std::pair{&record_file, &record_path_wide},
                              std::pair{&minidump_file, &minidump_path_wide}}) {
        if (*file != INVALID_HANDLE_VALUE) {
            CloseHandle(*file);
            *file = INVALID_HANDLE_VALUE;
            DeleteFileW(path->c_str());  // nothing was written: no crash
        }
    }
#else
    if (record_fd < 0) {
        return;
    }
    restore_previous_actions();
    ::close(record_fd);
    record_fd = -1;
    ::unlink(record_path_copy);
#endif
}

std::string program_build_id() {
#if defined(_WIN32)
    LineText key;
    add_image_key(key, GetModuleHandleW(nullptr));
    return std::string(key.data(), key.size());
#else
    char build_id[41] = {};
    dl_iterate_phdr(
        [](dl_phdr_info* info, std::size_t, void* data) {
            for (int i = 0; i < info->dlpi_phnum; ++i) {
                if (info->dlpi_phdr[i].p_type == PT_NOTE) {
                    read_build_id(*info, info->dlpi_phdr[i], static_cast<char*>(data));
                }
            }
            return 1;  // the program itself comes first
        },
        build_id);
    return build_id;
#endif
}

}  // namespace halvark::diagnostics
