#include "app/running_mark.h"

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace halvark::app {

#ifdef Q_OS_WIN
// The same name as in packaging/windows/installer.nsi.
RunningMark::RunningMark()
    : handle(CreateMutexW(nullptr, FALSE, L"Local\\HalvarkLauncherRunning")) {}

RunningMark::~RunningMark() {
    if (handle != nullptr) {
        CloseHandle(handle);
    }
}
#else
RunningMark::RunningMark() = default;
RunningMark::~RunningMark() = default;
#endif

}  // namespace halvark::app
