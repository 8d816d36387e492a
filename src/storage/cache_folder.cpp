#include "storage/cache_folder.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace halvark::storage {

namespace {

// QNetworkDiskCache keeps entries as data8/<hex digit>/<up to 8 base-36 digits>.d and writes
// them through QSaveFile, whose unfinished files add a dot and six letters or digits.
constexpr QLatin1StringView kDataFolder("data8");
constexpr int kMaxExaminedEntries = 200000;

bool is_link(const QFileInfo& entry) {
    return entry.isSymLink() || entry.isJunction();
}

// A real folder, never through a link; made when missing.
bool own_folder(const QString& path) {
    const QFileInfo folder(path);
    if (is_link(folder)) {
        return false;
    }
    return folder.isDir() || (!folder.exists() && QDir().mkdir(path));
}

void clear_entry(const QFileInfo& entry, qint64 max_file_bytes) {
    static const QRegularExpression kEntryName(
        QStringLiteral("^-?[0-9a-z]{1,8}\\.d(\\.[0-9A-Za-z]{6})?$"));
    if (!kEntryName.match(entry.fileName()).hasMatch()) {
        return;  // not the cache's: the player's own, whatever it is
    }
    const bool plain_folder = !is_link(entry) && entry.isDir();
    if (plain_folder) {
        QDir(entry.filePath()).removeRecursively();  // removes links inside, never their targets
    } else if (!entry.isFile() || is_link(entry) || entry.size() > max_file_bytes) {
        QFile::remove(entry.filePath());
    }
}

}  // namespace

bool prepare_cache_folder(const QString& root, const QString& name, qint64 max_file_bytes) {
    const QString cache = root + QLatin1Char('/') + name;
    const QString data = cache + QLatin1Char('/') + kDataFolder;
    if (!own_folder(root) || !own_folder(cache) || !own_folder(data)) {
        return false;
    }
    int examined = 0;
    for (const QChar digit : QStringLiteral("0123456789abcdef")) {
        const QFileInfo bucket(data + QLatin1Char('/') + digit);
        if (is_link(bucket) || (bucket.exists() && !bucket.isDir())) {
            QFile::remove(bucket.filePath());  // the cache's own name: it makes the folder again
            continue;
        }
        QDirIterator entries(bucket.filePath(),
                             QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
        while (entries.hasNext()) {
            entries.next();
            if (++examined > kMaxExaminedEntries) {
                return true;
            }
            clear_entry(entries.fileInfo(), max_file_bytes);
        }
    }
    return true;
}

}  // namespace halvark::storage
