#pragma once

#include <QtGlobal>

namespace halvark::app {

// While it lives, the installer and the uninstaller can see that a launcher runs (on Windows a
// named mutex, which they look for) and ask the player to close it instead of leaving a mix of
// old and new files. Linux packages replace files in use safely: nothing to mark there.
class RunningMark {
  public:
#ifdef Q_OS_WIN
    RunningMark();
    ~RunningMark();
#else
    RunningMark() = default;
#endif
    RunningMark(const RunningMark&) = delete;
    RunningMark& operator=(const RunningMark&) = delete;

#ifdef Q_OS_WIN
  private:
    void* handle = nullptr;
#endif
};

}  // namespace halvark::app
