#include "storage/data_folder.h"

#include <QDir>
#include <QFile>

#if !defined(Q_OS_WIN)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QMutex>
#include <map>
#endif

namespace halvark::storage {

namespace {

#if !defined(Q_OS_WIN)
// A folder whose name is no UTF-8 has no QString that names it: it is opened by its bytes
// once, and reached through the process's own descriptor of it from then on.
QString folder_by_bytes(const QByteArray& bytes) {
    static QMutex mutex;
    static std::map<QByteArray, QString> opened;
    const QMutexLocker lock(&mutex);
    const auto found = opened.find(bytes);
    if (found != opened.end()) {
        return found->second;
    }
    int folder = ::open(bytes.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0 && ::mkdir(bytes.constData(), 0700) == 0) {
        folder = ::open(bytes.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    }
    QString path = folder < 0 ? QString() : QStringLiteral("/proc/self/fd/%1").arg(folder);
    opened.emplace(bytes, path);
    return path;
}
#endif

}  // namespace

QString appdata_base() {
#if defined(Q_OS_WIN)
    const QString appdata = qEnvironmentVariable("APPDATA");  // UTF-16, as Windows keeps it
#else
    const QByteArray bytes = qgetenv("APPDATA");
    QString appdata = QFile::decodeName(bytes);
    if (QFile::encodeName(appdata) != bytes) {
        appdata = folder_by_bytes(bytes);
    }
#endif
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
