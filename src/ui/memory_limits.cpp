#include "ui/memory_limits.h"

#include <algorithm>
#include <limits>

#if defined(Q_OS_WIN)
#include <windows.h>
#elif defined(Q_OS_MACOS)
#include <sys/sysctl.h>
#include <sys/types.h>
#else
#include <unistd.h>
#endif

namespace halvark::ui {

namespace {

constexpr qint32 kFallbackMemoryMb = 8192;

qint32 clamp_mb(unsigned long long bytes) {
    const unsigned long long mb = bytes >> 20;
    return mb == 0 ? kFallbackMemoryMb
                   : static_cast<qint32>(
                         std::min<unsigned long long>(mb, std::numeric_limits<qint32>::max()));
}

}  // namespace

qint32 total_physical_memory_mb() {
#if defined(Q_OS_WIN)
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof(status);
    if (!GlobalMemoryStatusEx(&status)) {
        return kFallbackMemoryMb;
    }
    return clamp_mb(status.ullTotalPhys);
#elif defined(Q_OS_MACOS)
    int64_t bytes = 0;
    size_t size = sizeof(bytes);
    if (sysctlbyname("hw.memsize", &bytes, &size, nullptr, 0) != 0 || bytes <= 0) {
        return kFallbackMemoryMb;
    }
    return clamp_mb(static_cast<unsigned long long>(bytes));
#else
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long page_size = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || page_size <= 0) {
        return kFallbackMemoryMb;
    }
    return clamp_mb(static_cast<unsigned long long>(pages) *
                    static_cast<unsigned long long>(page_size));
#endif
}

qint32 max_ram_mb(qint32 total) {
    const qint32 t = std::max<qint32>(total, 1024);
    return std::max<qint32>(static_cast<qint32>(t * 0.9), 1024);
}

qint32 recommended_ram_mb(qint32 total) {
    const qint32 t = std::max<qint32>(total, 1024);
    return std::max<qint32>(std::min<qint32>(max_ram_mb(total), t / 4 + 4096), 1024);
}

}  // namespace halvark::ui
