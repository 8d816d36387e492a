#pragma once

#include <QString>

namespace halvark::diagnostics {

// The current UTC time as "yyyy-MM-ddTHH:mm:ss.zzzZ" (recent events, reports).
QString utc_timestamp();
// The current local time as "yyyy-MM-dd HH:mm:ss.zzz" (log lines).
QString local_log_timestamp();

}  // namespace halvark::diagnostics
