#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>

namespace halvark::storage {

// Replaces the file at `path` with `content` in one step: on any failure the previous
// file stays as it was. `permissions`, when given, apply from the first byte written.
bool write_file_atomically(const QString& path, const QByteArray& content,
                           QFileDevice::Permissions permissions = {});

}  // namespace halvark::storage
