#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>

class QUrl;

namespace halvark::net {

// Which proxy, if any, a request goes through. One set of rules for every request, read once:
// on Linux from the usual variables (the lower-case form first), on Windows from them when
// any is set, otherwise from the user's own proxy settings as WinHTTP reads them.
class ProxyRules {
  public:
    using Variable = std::function<QByteArray(const char* name)>;

    // "http_proxy", "https_proxy", "all_proxy", "no_proxy" and their upper-case forms.
    static ProxyRules from_variables(const Variable& variable);
    // The settings Windows keeps per user: "host:port" or "http=h:p;https=h:p;socks=h:p",
    // and a bypass list separated by ';' (with "<local>" for names without a dot).
    static ProxyRules from_windows_settings(const QString& proxy, const QString& bypass);
    // This machine's rules, resolved on first use.
    static const ProxyRules& current();

    // The proxy for `url` as libcurl takes it ("http://host:port", "socks5h://…"), or empty
    // for a direct connection. Loopback is never proxied.
    QByteArray proxy_for(const QUrl& url) const;
    bool bypasses(const QUrl& url) const;

  private:
    QByteArray http_proxy_;
    QByteArray https_proxy_;
    QList<QString> bypass_;
};

}  // namespace halvark::net
