#include "diagnostics/machine_info.h"

#include <QDir>
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

QString appdata_base() {
    const QString appdata = qEnvironmentVariable("APPDATA");
    return appdata.isEmpty() ? QDir::homePath() : appdata;
}

}  // namespace halvark::diagnostics
