#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QSize>
#include <QString>
#include <chrono>
#include <mutex>
#include <optional>

#include "derivation_pool.h"
#include "report_store.h"
#include "sign_in_guard.h"

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace halvark::service {

struct ServiceOptions {
    QString data_directory;   // accounts.json, news.json, server_profiles.json
    QString state_directory;  // signing key, hardware ids, crash reports
    qint64 token_lifetime_seconds = 3600;
    bool fail_server_profiles = false;
    bool pictures = true;               // news pictures, backgrounds and avatars
    QSize news_picture_size{992, 340};  // large sizes show the launcher's memory use
    QByteArray news_picture_format = "PNG";
    ReportQuota report_quota;
    int derivation_slots = 2;                    // password derivations at once
    std::chrono::milliseconds owner_wait{4000};  // how long an owner may wait for a slot
};

// Everything the launcher talks to, on one host: account API, crash-report sink, news,
// media, server profiles and news pages.
class GameService {
  public:
    explicit GameService(ServiceOptions options);

    // False (with a reason on stderr) when the data files cannot be read.
    bool load();
    void register_routes(httplib::Server& server);

    // A signed token for `nickname`, as the login would hand it out.
    std::optional<QString> issue_token(const QString& nickname) const;
    const QJsonArray& accounts() const { return accounts_; }
    QString current_totp_code(const QJsonObject& account) const;

  private:
    void login(const httplib::Request& request, httplib::Response& response);
    void current_user(const httplib::Request& request, httplib::Response& response);
    void submit_hwid(const httplib::Request& request, httplib::Response& response);
    void crash_report(const httplib::Request& request, httplib::Response& response);
    void news(const httplib::Request& request, httplib::Response& response);
    void server_profiles(const httplib::Request& request, httplib::Response& response);
    void news_page(const httplib::Request& request, httplib::Response& response);

    // The account whose bearer token the request carries, or an error answer already set.
    std::optional<QJsonObject> authorised_account(const httplib::Request& request,
                                                  httplib::Response& response) const;
    std::optional<QJsonObject> find_account(const QString& nickname) const;
    // True for a valid code of a step after the last one this account signed in with.
    bool accept_totp_once(const QJsonObject& account, const QByteArray& secret, const QString& code,
                          qint64 now);
    static QJsonObject public_user(const QJsonObject& account);

    ServiceOptions options_;
    QByteArray signing_key_;
    QJsonArray accounts_;
    QHash<QString, qsizetype> account_index_;  // by canonical nickname
    // What an unknown nickname's password is checked against: as costly as a real record.
    QString decoy_password_;
    QJsonArray news_;
    QJsonArray profiles_;
    QHash<int, QByteArray> news_pictures_;
    QHash<int, QByteArray> profile_pictures_;
    std::mutex state_mutex_;  // hardware ids and reports on disk
    // Five failures a minute per account and per client address, then 429 until they age out.
    SignInGuard sign_in_guard_;
    DerivationPool derivations_;
    std::mutex totp_mutex_;
    QHash<QString, qint64> last_totp_step_;  // per account uuid
};

}  // namespace halvark::service
