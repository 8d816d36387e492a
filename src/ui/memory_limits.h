#pragma once

#include <QtGlobal>

namespace halvark::ui {

// The machine's physical memory in MB, or 8192 when the system will not say.
qint32 total_physical_memory_mb();
// Nine tenths of the machine, at least 1024.
qint32 max_ram_mb(qint32 total);
// A quarter of the machine plus 4096, within 1024 and the maximum.
qint32 recommended_ram_mb(qint32 total);

}  // namespace halvark::ui
