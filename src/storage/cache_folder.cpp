#include "storage/cache_folder.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace halvark::storage {

namespace {

// Far more than the caches' size limits let them hold.
constexpr int kMaxExaminedEntries = 200000;

}  // namespace

void remove_unsafe_cache_entries(const QString& folder, qint64 max_file_bytes) {
    // Links are never followed: a linked folder is an entry to remove, not a tree to walk.
    QDirIterator entries(folder,
                         QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
    for (int examined = 0; entries.hasNext() && examined < kMaxExaminedEntries; ++examined) {
        const QString path = entries.next();
        const QFileInfo entry = entries.fileInfo();
        const bool special = entry.isSymLink() || (!entry.isFile() && !entry.isDir());
        if (special || (entry.isFile() && entry.size() > max_file_bytes)) {
            QFile::remove(path);
        } else if (entry.isDir() && entry.fileName().endsWith(QLatin1String(".d"))) {
            QDir(path).removeRecursively();  // a folder named as a cache file
        }
    }
}

}  // namespace halvark::storage
