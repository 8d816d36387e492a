#include "storage/atomic_file.h"

#include <QSaveFile>

namespace halvark::storage {

bool write_file_atomically(const QString& path, const QByteArray& content,
                           QFileDevice::Permissions permissions) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    if (permissions != QFileDevice::Permissions() && !file.setPermissions(permissions)) {
        return false;
    }
    // Qt 6.4 commits a file whose buffered write failed (a full disk, say), truncating the
    // old one: flush and check first, and let the destructor discard a failed write.
    if (file.write(content) != content.size() || !file.flush()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

}  // namespace halvark::storage
