#include "report_store.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>

namespace halvark::service {

namespace {

// Drops files from the front (the oldest) of `files` until both limits hold.
void drop_oldest(QFileInfoList& files, int max_count, qint64 max_bytes) {
    qint64 bytes = 0;
    for (const QFileInfo& file : files) {
        bytes += file.size();
    }
    while (!files.isEmpty() && (files.size() > max_count || bytes > max_bytes)) {
        bytes -= files.first().size();
        QFile::remove(files.first().filePath());
        files.removeFirst();
    }
}

}  // namespace

bool store_report(const QString& directory, const QString& account_id, const QString& event_id,
                  const QByteArray& json, const ReportQuota& quota) {
    // The time leads, so that names sort from the oldest to the newest.
    const QString name = QDateTime::currentDateTimeUtc().toString("yyyyMMdd-HHmmss-zzz") + '_' +
                         account_id + '_' + event_id + ".json";
    QSaveFile file(directory + '/' + name);
    // Flushed before the commit: Qt 6.4 would otherwise commit a write that failed.
    if (!file.open(QIODevice::WriteOnly) || file.write(json) != json.size() || !file.flush() ||
        !file.commit()) {
        return false;
    }
    const QDir dir(directory);
    QFileInfoList mine =
        dir.entryInfoList({"*_" + account_id + "_*.json"}, QDir::Files, QDir::Name);
    drop_oldest(mine, quota.per_account_count, quota.per_account_bytes);
    QFileInfoList all = dir.entryInfoList({"*.json"}, QDir::Files, QDir::Name);
    drop_oldest(all, quota.total_count, quota.total_bytes);
    return true;
}

}  // namespace halvark::service
