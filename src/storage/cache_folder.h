#pragma once

#include <QString>

namespace halvark::storage {

// Makes `root`/`name` ready for a QNetworkDiskCache and clears it of what the cache must
// never open: links, FIFOs, devices and sockets, folders where cache files belong, and files
// over `max_file_bytes` (opening a FIFO blocks until someone writes to it, so one planted in
// the cache would hang the window at the first cached request). Only names the cache itself
// makes, inside its own folders, are ever removed, and no link is followed: false when the
// root or a folder of the cache is a link or no folder, and the cache must then not be used.
bool prepare_cache_folder(const QString& root, const QString& name, qint64 max_file_bytes);

}  // namespace halvark::storage
