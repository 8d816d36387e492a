#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

class QJsonValue;

namespace halvark::outside {

// Service texts are cut before they reach a label: layout of megabytes of text would
// freeze the window.
constexpr qsizetype kServiceLineChars = 200;        // titles, names, e-mail, role names
constexpr qsizetype kServiceParagraphChars = 1000;  // news summary, profile description
constexpr qsizetype kServiceMessageChars = 2000;    // a login failure in a warning box

// `text` with at most `max_chars` characters, the cut marked with "…"; never splits a
// surrogate pair.
QString cut_service_text(const QString& text, qsizetype max_chars);

// A JSON number truncated toward zero and clamped to the signed 64-bit range (NaN and
// anything that is not a number give `fallback`), so no cast of a huge value is undefined.
qint64 saturated_int64(const QJsonValue& value, qint64 fallback = 0);

// An identifier that must be a whole number: `fallback` (as if missing) for anything that is
// not an integral JSON number (2.5 is no role id), clamped like saturated_int64 otherwise.
qint64 integral_id(const QJsonValue& value, qint64 fallback = 0);

// a + b, held at the 64-bit limits instead of overflowing.
qint64 saturated_add(qint64 a, qint64 b);

struct FolderFile {
    QString name;
    qint64 modified_ms;  // since the epoch (UTC): no local-time conversion
};

// The plain files directly in `folder` whose names end with `suffix` (no links, FIFOs or
// devices), each with its modification time. Reads the folder
// once, with no second look-up of each name where the platform lists times with the names.
std::vector<FolderFile> list_plain_files(const QString& folder, QLatin1StringView suffix);

// The content of the regular file at `path` (a link to one is followed) when it holds at
// most `max_bytes`; nothing for a missing or oversized file, a folder, a FIFO or a device,
// none of which may block or flood the reader.
std::optional<QByteArray> read_regular_file(const QString& path, qint64 max_bytes);

}  // namespace halvark::outside
