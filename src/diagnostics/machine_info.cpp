#include "diagnostics/machine_info.h"

#include <QSysInfo>

namespace halvark::diagnostics {

MachineInfo current_machine_info() {
    MachineInfo info;
    info.os = QSysInfo::prettyProductName();
    info.kernel = QSysInfo::kernelType() + ' ' + QSysInfo::kernelVersion();
    info.cpu_arch = QSysInfo::currentCpuArchitecture();
    info.hostname = QSysInfo::machineHostName();
    info.machine_id = QString::fromUtf8(QSysInfo::machineUniqueId());
    return info;
}

}  // namespace halvark::diagnostics
