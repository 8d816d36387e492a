#pragma once

#include <QString>

namespace halvark::diagnostics {

// What the platform tells about this machine, as shown in the log header and in reports.
struct MachineInfo {
    QString os;      // product name and version
    QString kernel;  // kernel type, a space, kernel version
    QString cpu_arch;
    QString hostname;
    QString machine_id;  // the operating system's unique machine id, as text
};

MachineInfo current_machine_info();

}  // namespace halvark::diagnostics
