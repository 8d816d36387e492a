#include "net/proxy_rules.h"

#include <QRegularExpression>
#include <QUrl>

#include "net/ip_address.h"

#ifdef Q_OS_WIN
// clang-format off
#include <windows.h>
#include <winhttp.h>
// clang-format on
#endif

namespace halvark::net {

namespace {

// "host:port" means an HTTP proxy, as every program that reads these variables takes it.
QByteArray proxy_address(QByteArray value) {
    value = value.trimmed();
    if (value.isEmpty()) {
        return {};
    }
    if (!value.contains("://")) {
        value.prepend("http://");
    }
    const QUrl url = QUrl::fromEncoded(value);
    static const QStringList kSchemes{"http", "https", "socks4", "socks4a", "socks5", "socks5h"};
    if (!url.isValid() || url.host().isEmpty() || !kSchemes.contains(url.scheme().toLower())) {
        qWarning("Ignored a proxy setting that names no usable proxy");
        return {};
    }
    return value;
}

bool is_loopback(const QString& host) {
    const auto address = parse_ip_address(host);
    return host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 ||
           host.endsWith(QLatin1String(".localhost"), Qt::CaseInsensitive) ||
           (address && is_loopback_address(*address));
}

// One bypass entry: "*", "<local>", an address or a network ("10.0.0.0/8"), or a name that
// also covers its subdomains (".example.test", "*.example.test", "example.test"), a wildcard
// pattern ("192.168.*"); each may end with ":port".
bool entry_matches(QString entry, const QString& host, int port) {
    entry = entry.trimmed().toLower();
    if (entry.isEmpty()) {
        return false;
    }
    if (entry == QLatin1String("*")) {
        return true;
    }
    if (entry == QLatin1String("<local>")) {
        return !host.contains(QLatin1Char('.')) && !host.contains(QLatin1Char(':'));
    }
    // An optional port: "[::1]:8080", "host:8080"; a bare IPv6 address has more than one colon.
    static const QRegularExpression kWithPort(QStringLiteral("^(\\[[^\\]]*\\]|[^:]*):(\\d+)$"));
    const QRegularExpressionMatch with_port = kWithPort.match(entry);
    if (with_port.hasMatch()) {
        if (with_port.captured(2).toInt() != port) {
            return false;
        }
        entry = with_port.captured(1);
    }
    if (entry.startsWith(QLatin1Char('[')) && entry.endsWith(QLatin1Char(']'))) {
        entry = entry.mid(1, entry.size() - 2);
    }
    if (const auto peer = parse_ip_address(host)) {
        if (const auto inside = network_contains(entry, *peer)) {
            return *inside;
        }
        if (const auto address = parse_ip_address(entry)) {
            return *address == *peer;
        }
    }
    if (entry.startsWith(QLatin1String("*."))) {
        entry = entry.mid(1);
    }
    if (entry.contains(QLatin1Char('*'))) {
        return QRegularExpression(QRegularExpression::wildcardToRegularExpression(
                                      entry, QRegularExpression::UnanchoredWildcardConversion),
                                  QRegularExpression::CaseInsensitiveOption)
            .match(QRegularExpression::anchoredPattern(host))
            .hasMatch();
    }
    if (entry.startsWith(QLatin1Char('.'))) {
        entry = entry.mid(1);
    }
    if (entry.endsWith(QLatin1Char('.'))) {
        entry.chop(1);
    }
    const QString name = host.endsWith(QLatin1Char('.')) ? host.chopped(1) : host;
    return name == entry || name.endsWith(QLatin1Char('.') + entry);
}

#ifdef Q_OS_WIN
QString take_wide(LPWSTR text) {
    if (text == nullptr) {
        return {};
    }
    const QString result = QString::fromWCharArray(text);
    GlobalFree(text);
    return result;
}

ProxyRules windows_rules() {
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config{};
    if (!WinHttpGetIEProxyConfigForCurrentUser(&config)) {
        return {};
    }
    const QString automatic = take_wide(config.lpszAutoConfigUrl);
    const QString proxy = take_wide(config.lpszProxy);
    const QString bypass = take_wide(config.lpszProxyBypass);
    if (config.fAutoDetect || !automatic.isEmpty()) {
        qInfo("The system's automatic proxy configuration is not followed; its fixed proxy is");
    }
    return ProxyRules::from_windows_settings(proxy, bypass);
}
#endif

}  // namespace

ProxyRules ProxyRules::from_variables(const Variable& variable) {
    const auto read = [&variable](const char* name) {
        const QByteArray lower = variable(name).trimmed();
        return lower.isEmpty() ? variable(QByteArray(name).toUpper().constData()).trimmed() : lower;
    };
    ProxyRules rules;
    const QByteArray all = proxy_address(read("all_proxy"));
    rules.http_proxy_ = proxy_address(read("http_proxy"));
    rules.https_proxy_ = proxy_address(read("https_proxy"));
    if (rules.http_proxy_.isEmpty()) {
        rules.http_proxy_ = all;
    }
    if (rules.https_proxy_.isEmpty()) {
        rules.https_proxy_ = all;
    }
    for (const QByteArray& entry : read("no_proxy").split(',')) {
        rules.bypass_.append(QString::fromUtf8(entry));
    }
    return rules;
}

ProxyRules ProxyRules::from_windows_settings(const QString& proxy, const QString& bypass) {
    ProxyRules rules;
    static const QRegularExpression kSeparators(QStringLiteral("[;\\s]+"));
    for (const QString& item : proxy.split(kSeparators, Qt::SkipEmptyParts)) {
        const qsizetype equals = item.indexOf(QLatin1Char('='));
        const QString kind = equals < 0 ? QString() : item.left(equals).trimmed().toLower();
        const QByteArray value = item.mid(equals + 1).trimmed().toUtf8();
        if (kind.isEmpty()) {
            rules.http_proxy_ = rules.https_proxy_ = proxy_address(value);
        } else if (kind == QLatin1String("http")) {
            rules.http_proxy_ = proxy_address(value);
        } else if (kind == QLatin1String("https")) {
            rules.https_proxy_ = proxy_address(value);
        } else if (kind == QLatin1String("socks") && rules.http_proxy_.isEmpty()) {
            rules.http_proxy_ = rules.https_proxy_ =
                proxy_address(value.contains("://") ? value : "socks4://" + value);
        }
    }
    rules.bypass_ = bypass.split(kSeparators, Qt::SkipEmptyParts);
    return rules;
}

const ProxyRules& ProxyRules::current() {
    static const ProxyRules rules = [] {
        const auto variable = [](const char* name) { return qgetenv(name); };
#ifdef Q_OS_WIN
        for (const char* name :
             {"http_proxy", "https_proxy", "all_proxy", "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY"}) {
            if (!qgetenv(name).trimmed().isEmpty()) {
                return from_variables(variable);
            }
        }
        return windows_rules();
#else
        return from_variables(variable);
#endif
    }();
    return rules;
}

bool ProxyRules::bypasses(const QUrl& url) const {
    const QString host = url.host().toLower();
    if (is_loopback(host)) {
        return true;
    }
    const int port =
        url.port(url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 ? 443 : 80);
    return std::any_of(bypass_.cbegin(), bypass_.cend(),
                       [&](const QString& entry) { return entry_matches(entry, host, port); });
}

QByteArray ProxyRules::proxy_for(const QUrl& url) const {
    const bool secure = url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
    const QByteArray& proxy = secure ? https_proxy_ : http_proxy_;
    return proxy.isEmpty() || bypasses(url) ? QByteArray() : proxy;
}

}  // namespace halvark::net
