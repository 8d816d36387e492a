#include "diagnostics/timestamps.h"

#include <QDateTime>
#include <algorithm>
#include <cstdio>

namespace halvark::diagnostics {

namespace {

// Formatted by hand: every logged message needs two of these, and a format pattern is
// parsed anew on every QDateTime::toString call (QString::asprintf costs several times the C
// library's snprintf too).
QString format(const QDateTime& moment, char separator, const char* suffix) {
    const QDate date = moment.date();
    const QTime time = moment.time();
    char text[40];
    const int length = std::snprintf(text, sizeof text, "%04d-%02d-%02d%c%02d:%02d:%02d.%03d%s",
                                     date.year(), date.month(), date.day(), separator, time.hour(),
                                     time.minute(), time.second(), time.msec(), suffix);
    return QString::fromLatin1(text, std::clamp(length, 0, int(sizeof text) - 1));
}

}  // namespace

QString utc_timestamp() {
    return format(QDateTime::currentDateTimeUtc(), 'T', "Z");
}

QString local_log_timestamp() {
    return format(QDateTime::currentDateTime(), ' ', "");
}

}  // namespace halvark::diagnostics
