#pragma once

#include <QByteArray>
#include <QString>

namespace halvark::service {

// How many crash reports, and how many bytes of them, are kept per account and in all.
struct ReportQuota {
    int per_account_count = 20;
    qint64 per_account_bytes = 16LL << 20;
    int total_count = 200;
    qint64 total_bytes = 128LL << 20;
};

// Stores one report in `directory` as "<time>_<account>_<event>.json", then drops the
// oldest reports, the account's first and then anybody's, until `quota` holds again.
// False when the report could not be written.
bool store_report(const QString& directory, const QString& account_id, const QString& event_id,
                  const QByteArray& json, const ReportQuota& quota);

}  // namespace halvark::service
