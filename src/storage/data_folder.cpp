#include "storage/data_folder.h"

#include <QDir>

namespace halvark::storage {

QString appdata_base() {
    const QString appdata = qEnvironmentVariable("APPDATA");
    return QDir::fromNativeSeparators(appdata.isEmpty() ? QDir::homePath() : appdata);
}

QString launcher_data_directory() {
    return appdata_base() + "/.halvark_launcher";
}

QString logs_directory() {
    return launcher_data_directory() + "/logs";
}

QString cache_directory() {
    return QDir::cleanPath(launcher_data_directory() + "/cache");
}

QString default_game_directory() {
    return QDir::cleanPath(appdata_base() + "/.halvark");
}

}  // namespace halvark::storage
