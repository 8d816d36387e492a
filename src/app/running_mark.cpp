#include "app/running_mark.h"

#ifdef Q_OS_WIN
#include <windows.h>

namespace halvark::app {

// The same name as in packaging/windows/installer.nsi.
RunningMark::RunningMark()
    : handle(CreateMutexW(nullptr, FALSE, L"Local\\HalvarkLauncherRunning")) {}

RunningMark::~RunningMark() {
    if (handle != nullptr) {
        CloseHandle(handle);
    }
}

}  // namespace halvark::app
#endif
