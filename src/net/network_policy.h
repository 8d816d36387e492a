#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <optional>

class QUrl;

namespace halvark::net {

// The most one answer may weigh; a reply past it is aborted and counts as failed.
constexpr qint64 kAccountReplyLimit = 1LL << 20;   // login, current user, hardware id, report
constexpr qint64 kListReplyLimit = 4LL << 20;      // news and server-profile lists
constexpr qint64 kPictureReplyLimit = 32LL << 20;  // news, background and avatar pictures

// Addresses that come from the service are fetched or opened only when they are http(s).
bool is_web_address(const QUrl& url);

// A bearer token as RFC 6750 allows it (letters, digits, "-._~+/", then "=" padding) and of
// at most 8 KiB: anything else (CR, LF, NUL, spaces) could add headers, or whole requests, to
// ours. A token from the service or from a file is used only when it passes.
constexpr qsizetype kMaxBearerTokenChars = 8192;
bool is_plausible_bearer_token(const QString& token);
// "Bearer <token>" for the Authorization header, or nothing for any other token.
std::optional<QByteArray> bearer_authorization(const QString& token);

}  // namespace halvark::net
