#pragma once

#include <QString>

namespace halvark::storage {

// Clears `folder` (a disk cache) of what a cache must never open: links, FIFOs, devices and
// sockets, folders where cache files belong, and files over `max_file_bytes`. Opening a FIFO
// blocks until someone writes to it, so one planted in the cache would hang the window at the
// first cached request. Looks at no more than a fixed number of entries.
void remove_unsafe_cache_entries(const QString& folder, qint64 max_file_bytes);

}  // namespace halvark::storage
