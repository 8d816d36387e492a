#pragma once

#include <QString>

namespace halvark::storage {

// Where the launcher keeps its state. Every path here uses '/' separators, on Windows too,
// and none of the folders is created here.

// APPDATA, or the home directory when it is empty or unset.
QString appdata_base();
// appdata_base() + "/.halvark_launcher": settings.json, session.json, logs/ and cache/.
QString launcher_data_directory();
QString logs_directory();
QString cache_directory();
// appdata_base() + "/.halvark", cleaned.
QString default_game_directory();

}  // namespace halvark::storage
