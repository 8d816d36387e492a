#include "outside/outside_data.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonValue>
#include <QtNumeric>
#include <cmath>
#include <limits>

#if defined(Q_OS_WIN)
#include <windows.h>
#include <QDir>
#else
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#endif

namespace halvark::outside {

QString cut_service_text(const QString& text, qsizetype max_chars) {
    if (text.size() <= max_chars) {
        return text;
    }
    qsizetype keep = std::max<qsizetype>(max_chars - 1, 0);
    if (keep > 0 && text.at(keep - 1).isHighSurrogate()) {
        --keep;
    }
    return text.left(keep) + QChar(0x2026);
}

qint64 saturated_int64(const QJsonValue& value, qint64 fallback) {
    if (!value.isDouble()) {
        return fallback;
    }
    const double number = std::trunc(value.toDouble());
    if (std::isnan(number)) {
        return fallback;
    }
    // 2^63 is the first double past the range; every double below it converts exactly.
    constexpr double kLimit = 9223372036854775808.0;
    if (number >= kLimit) {
        return std::numeric_limits<qint64>::max();
    }
    if (number < -kLimit) {
        return std::numeric_limits<qint64>::min();
    }
    return static_cast<qint64>(number);
}

qint64 integral_id(const QJsonValue& value, qint64 fallback) {
    const double number = value.toDouble(0.5);
    if (!value.isDouble() || std::trunc(number) != number) {
        return fallback;
    }
    return saturated_int64(value, fallback);
}

qint64 saturated_add(qint64 a, qint64 b) {
    qint64 sum = 0;
    if (!qAddOverflow(a, b, &sum)) {
        return sum;
    }
    return b > 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
}

std::vector<FolderFile> list_plain_files(const QString& folder, QLatin1StringView suffix) {
    std::vector<FolderFile> files;
#if defined(Q_OS_WIN)
    const QString pattern = QDir::toNativeSeparators(folder) + QLatin1String("\\*") + suffix;
    WIN32_FIND_DATAW found{};
    HANDLE search =
        FindFirstFileExW(reinterpret_cast<LPCWSTR>(pattern.utf16()), FindExInfoBasic, &found,
                         FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE) {
        return files;
    }
    constexpr DWORD kNotPlain =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;
    do {
        const QString name = QString::fromWCharArray(found.cFileName);
        // The pattern also matches the short 8.3 names of longer suffixes.
        if ((found.dwFileAttributes & kNotPlain) == 0 && name.endsWith(suffix)) {
            // 100-nanosecond steps since 1601.
            const quint64 steps = (quint64(found.ftLastWriteTime.dwHighDateTime) << 32) |
                                  found.ftLastWriteTime.dwLowDateTime;
            constexpr quint64 kUnixEpochSteps = 116444736000000000ULL;
            files.push_back(
                {name, steps < kUnixEpochSteps ? 0 : qint64((steps - kUnixEpochSteps) / 10000)});
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
#else
    DIR* listing = ::opendir(QFile::encodeName(folder).constData());
    if (listing == nullptr) {
        return files;
    }
    const int descriptor = ::dirfd(listing);
    const QByteArray wanted(suffix.data(), suffix.size());
    while (const dirent* entry = ::readdir(listing)) {
        const QByteArrayView name(entry->d_name);
        if (!name.endsWith(wanted) || (entry->d_type != DT_REG && entry->d_type != DT_UNKNOWN)) {
            continue;
        }
        struct stat status {};
        if (::fstatat(descriptor, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(status.st_mode)) {
            files.push_back(
                {QFile::decodeName(entry->d_name),
                 qint64(status.st_mtim.tv_sec) * 1000 + status.st_mtim.tv_nsec / 1000000});
        }
    }
    ::closedir(listing);
#endif
    return files;
}

std::optional<QByteArray> read_regular_file(const QString& path, qint64 max_bytes) {
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > max_bytes) {
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    // The file may have grown since it was looked at.
    QByteArray content = file.read(max_bytes + 1);
    if (content.size() > max_bytes) {
        return std::nullopt;
    }
    return content;
}

}  // namespace halvark::outside
