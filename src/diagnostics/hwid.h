#pragma once

#include <QString>

namespace halvark::diagnostics {

// SHA-256 of the five identifiers joined without separators, as 64 upper-case hex digits.
QString compute_hwid(const QString& cpu_model, const QString& motherboard_serial,
                     const QString& root_volume_id, const QString& os_machine_id,
                     const QString& etc_machine_id);

// The hardware id of this machine: PROCESSOR_IDENTIFIER and the OS machine id.
QString current_hwid();

}  // namespace halvark::diagnostics
