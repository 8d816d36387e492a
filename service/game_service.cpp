#include "game_service.h"

#include "password.h"

#include <httplib.h>

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSaveFile>
#include <QUuid>
#include <cstdio>

#include "artwork.h"
#include "nickname.h"
#include "report_store.h"
#include "server_setup.h"
#include "token.h"
#include "totp.h"

namespace halvark::service {

namespace {

constexpr size_t kMaxSmallBody = 16UL * 1024;
constexpr size_t kMaxReportBody = 4UL * 1024 * 1024;

void send_json(httplib::Response& response, int status, const QJsonValue& body) {
    response.status = status;
    const QByteArray text = body.isArray()
                                ? QJsonDocument(body.toArray()).toJson(QJsonDocument::Compact)
                                : QJsonDocument(body.toObject()).toJson(QJsonDocument::Compact);
    response.set_content(text.toStdString(), "application/json");
}

void send_error(httplib::Response& response, int status, const QString& detail) {
    send_json(response, status, QJsonObject{{"detail", detail}});
}

void send_png(httplib::Response& response, const QByteArray& png) {
    response.set_header("Cache-Control", "public, max-age=86400");
    response.set_content(png.toStdString(), "image/png");
}

std::optional<QJsonObject> json_body(const httplib::Request& request, httplib::Response& response,
                                     size_t max_size) {
    if (request.body.size() > max_size) {
        send_error(response, 413, "Request body too large");
        return std::nullopt;
    }
    QJsonParseError error{};
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray::fromStdString(request.body), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        send_error(response, 422, "Body must be a JSON object");
        return std::nullopt;
    }
    return document.object();
}

// Without pictures every picture address is left out of the lists.
QJsonValue without_pictures(const QJsonValue& value) {
    QJsonArray items;
    for (const auto& element : value.toArray()) {
        QJsonObject item = element.toObject();
        item.insert("images", QJsonArray());
        item.insert("image_url", "");
        items.append(item);
    }
    return items;
}

QString base_url(const httplib::Request& request) {
    return "http://" + QString::fromStdString(request.get_header_value("Host"));
}

QByteArray read_file(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool write_file(const QString& path, const QByteArray& content) {
    QSaveFile file(path);
    // Flushed before the commit: Qt 6.4 would otherwise commit a write that failed.
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size() &&
           file.flush() && file.commit();
}

// Replaces "{base}" in every string member, so addresses point back at this host.
QJsonValue with_base(const QJsonValue& value, const QString& base) {
    if (value.isString()) {
        return value.toString().replace("{base}", base);
    }
    if (value.isArray()) {
        QJsonArray array;
        for (const auto& element : value.toArray()) {
            array.append(with_base(element, base));
        }
        return array;
    }
    if (value.isObject()) {
        QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it) {
            it.value() = with_base(it.value(), base);
        }
        return object;
    }
    return value;
}

}  // namespace

GameService::GameService(ServiceOptions options)
    : options_(std::move(options)),
      derivations_(std::max(1, options_.derivation_slots), options_.owner_wait) {}

bool GameService::load() {
    const auto load_array = [this](const char* name, QJsonArray& target) {
        const QJsonDocument document =
            QJsonDocument::fromJson(read_file(options_.data_directory + '/' + name));
        if (!document.isArray()) {
            std::fprintf(stderr, "Cannot read %s from %s\n", name,
                         qPrintable(options_.data_directory));
            return false;
        }
        target = document.array();
        return true;
    };
    if (!load_array("accounts.json", accounts_) || !load_array("news.json", news_) ||
        !load_array("server_profiles.json", profiles_)) {
        return false;
    }
    for (qsizetype i = 0; i < accounts_.size(); ++i) {
        account_index_.insert(
            canonical_nickname(accounts_.at(i).toObject().value("nickname").toString()), i);
    }
    decoy_password_ =
        hash_password(QUuid::createUuid().toString(),
                      stored_iterations(accounts_.at(0).toObject().value("password").toString()));
    if (!QDir().mkpath(options_.state_directory + "/reports")) {
        std::fprintf(stderr, "Cannot create %s\n", qPrintable(options_.state_directory));
        return false;
    }
    // The signing key survives restarts so that remembered sessions stay valid.
    const QString key_path = options_.state_directory + "/signing.key";
    signing_key_ = QByteArray::fromHex(read_file(key_path).trimmed());
    if (signing_key_.size() < 32) {
        signing_key_.resize(32);
        QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(signing_key_.data()), 8);
        if (!write_file(key_path, signing_key_.toHex())) {
            std::fprintf(stderr, "Cannot write %s\n", qPrintable(key_path));
            return false;
        }
        QFile::setPermissions(key_path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    for (const auto& item : news_) {
        const int id = item.toObject().value("id").toInt();
        if (options_.pictures) {
            news_pictures_.insert(id, news_picture(id, options_.news_picture_size,
                                                   options_.news_picture_format.constData()));
        }
    }
    for (const auto& item : profiles_) {
        const int id = item.toObject().value("id").toInt();
        profile_pictures_.insert(id, profile_background(id));
    }
    return true;
}

void GameService::register_routes(httplib::Server& server) {
    server.set_payload_max_length(kMaxReportBody);
    server.Post("/api/v1/launcher/auth/login",
                [this](const httplib::Request& q, httplib::Response& r) { login(q, r); });
    server.Get("/api/v1/launcher/auth/me",
               [this](const httplib::Request& q, httplib::Response& r) { current_user(q, r); });
    server.Post("/api/v1/launcher/hwid",
                [this](const httplib::Request& q, httplib::Response& r) { submit_hwid(q, r); });
    server.Post("/api/v1/launcher/crash-report",
                [this](const httplib::Request& q, httplib::Response& r) { crash_report(q, r); });
    server.Get("/api/v1/news",
               [this](const httplib::Request& q, httplib::Response& r) { news(q, r); });
    server.Get("/api/launcher/server-profiles",
               [this](const httplib::Request& q, httplib::Response& r) { server_profiles(q, r); });
    server.Get(R"(/news/(\d{1,9}))",
               [this](const httplib::Request& q, httplib::Response& r) { news_page(q, r); });
    server.Get(R"(/api/v1/player-media/avatars/([0-9a-fA-F-]{1,64}))",
               [this](const httplib::Request& q, httplib::Response& r) {
                   if (!options_.pictures) {
                       send_error(r, 404, "No avatar");
                       return;
                   }
                   send_png(r, avatar_picture(QString::fromStdString(q.matches[1])));
               });
    server.Get(R"(/media/news/(\d{1,9})\.png)",
               [this](const httplib::Request& q, httplib::Response& r) {
                   const QByteArray png = news_pictures_.value(std::stoi(q.matches[1]));
                   png.isEmpty() ? send_error(r, 404, "No such picture") : send_png(r, png);
               });
    server.Get(R"(/media/profiles/(\d{1,9})\.png)",
               [this](const httplib::Request& q, httplib::Response& r) {
                   const QByteArray png = profile_pictures_.value(std::stoi(q.matches[1]));
                   png.isEmpty() ? send_error(r, 404, "No such picture") : send_png(r, png);
               });
}

std::optional<QJsonObject> GameService::find_account(const QString& nickname) const {
    const auto found = account_index_.constFind(canonical_nickname(nickname));
    if (found == account_index_.constEnd()) {
        return std::nullopt;
    }
    return accounts_.at(*found).toObject();
}

QJsonObject GameService::public_user(const QJsonObject& account) {
    QJsonObject user = account;
    user.remove("password");
    user.remove("totp_secret");
    user.insert("totp_enabled", account.contains("totp_secret"));
    return user;
}

QString GameService::current_totp_code(const QJsonObject& account) const {
    const QByteArray secret = base32_decode(account.value("totp_secret").toString());
    return secret.isEmpty() ? QString() : totp_code(secret, QDateTime::currentSecsSinceEpoch());
}

std::optional<QString> GameService::issue_token(const QString& nickname) const {
    const auto account = find_account(nickname);
    if (!account) {
        return std::nullopt;
    }
    const QJsonObject claims{
        {"sub", account->value("uuid")},
        {"nickname", account->value("nickname")},
        {"exp", QDateTime::currentSecsSinceEpoch() + options_.token_lifetime_seconds},
    };
    return sign_token(claims, signing_key_);
}

void GameService::login(const httplib::Request& request, httplib::Response& response) {
    const auto body = json_body(request, response, kMaxSmallBody);
    if (!body) {
        return;
    }
    const QJsonValue login = body->value("login");
    const QJsonValue password = body->value("password");
    if (!login.isString() || !password.isString() || login.toString().trimmed().isEmpty()) {
        send_error(response, 422, "Both \"login\" and \"password\" are required");
        return;
    }
    if (login.toString().trimmed().size() > kMaxNicknameLength) {
        send_error(response, 422,
                   QString("A nickname has at most %1 characters").arg(kMaxNicknameLength));
        return;
    }
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    const QString address = QString::fromStdString(request.remote_addr);
    // Counted before the account is looked at: a known name and an unknown one answer alike,
    // and simultaneous attempts cannot all slip under the limit.
    const SignInGuard::Attempt attempt = sign_in_guard_.reserve(login.toString(), address, now);
    if (attempt.retry_after > 0) {
        response.set_header("Retry-After", std::to_string(attempt.retry_after));
        send_error(response, 429,
                   QString("Too many failed sign-in attempts. Try again in %1 seconds.")
                       .arg(attempt.retry_after));
        return;
    }
    const auto account = find_account(login.toString());
    bool matches = false;
    {
        const DerivationPool::Slot slot =
            derivations_.acquire(attempt.counted_for_name ? DerivationPool::Caller::Other
                                                          : DerivationPool::Caller::Owner);
        if (!slot) {
            sign_in_guard_.release(attempt);
            response.set_header("Retry-After", "1");
            send_error(response, 429, "The service is busy. Try again in a moment.");
            return;
        }
        // An unknown name costs the same derivation as a known one: timing tells nothing either.
        matches = verify_password(account ? account->value("password").toString() : decoy_password_,
                                  password.toString());
    }
    if (!account || !matches) {
        send_json(response, 401, QJsonObject{{"detail", "Invalid nickname or password"}});
        return;
    }
    const QByteArray secret = base32_decode(account->value("totp_secret").toString());
    if (!secret.isEmpty()) {
        const QString code = body->value("totp_code").toString();
        if (code.isEmpty()) {
            sign_in_guard_.release(attempt);
            send_json(response, 401,
                      QJsonObject{
                          {"detail", QJsonObject{{"code", "totp_required"},
                                                 {"message",
                                                  "Enter the code from your authenticator app"}}}});
            return;
        }
        if (!accept_totp_once(*account, secret, code, now)) {
            send_json(
                response, 401,
                QJsonObject{{"detail",
                             QJsonObject{{"code", "totp_invalid"},
                                         {"message", "The code is not valid, try the next one"}}}});
            return;
        }
    }
    sign_in_guard_.record_success(attempt);
    send_json(response, 200,
              QJsonObject{{"access_token", *issue_token(account->value("nickname").toString())},
                          {"token_type", "bearer"},
                          {"expires_in", options_.token_lifetime_seconds},
                          {"user", public_user(*account)}});
}

bool GameService::accept_totp_once(const QJsonObject& account, const QByteArray& secret,
                                   const QString& code, qint64 now) {
    const auto step = totp_matching_step(secret, code, now);
    if (!step) {
        return false;
    }
    // A code seen once, or one older than it, is spent: it may have been overheard.
    const std::lock_guard lock(totp_mutex_);
    qint64& last_used = last_totp_step_[account.value("uuid").toString()];
    if (*step <= last_used) {
        return false;
    }
    last_used = *step;
    return true;
}

std::optional<QJsonObject> GameService::authorised_account(const httplib::Request& request,
                                                           httplib::Response& response) const {
    const QString header = QString::fromStdString(request.get_header_value("Authorization"));
    if (header.startsWith("Bearer ")) {
        const auto claims =
            verify_token(header.mid(7).trimmed(), signing_key_, QDateTime::currentSecsSinceEpoch());
        if (claims) {
            if (auto account = find_account(claims->value("nickname").toString())) {
                return account;
            }
        }
    }
    response.set_header("WWW-Authenticate", "Bearer");
    send_error(response, 401, "Not authenticated");
    return std::nullopt;
}

void GameService::current_user(const httplib::Request& request, httplib::Response& response) {
    if (const auto account = authorised_account(request, response)) {
        send_json(response, 200, public_user(*account));
    }
}

void GameService::submit_hwid(const httplib::Request& request, httplib::Response& response) {
    const auto account = authorised_account(request, response);
    if (!account) {
        return;
    }
    const auto body = json_body(request, response, kMaxSmallBody);
    if (!body) {
        return;
    }
    static const QRegularExpression hwid_pattern("^[0-9A-F]{64}$");
    const QString hwid = body->value("hwid").toString();
    if (!hwid_pattern.match(hwid).hasMatch()) {
        send_error(response, 422, "\"hwid\" must be 64 upper-case hexadecimal characters");
        return;
    }
    std::lock_guard lock(state_mutex_);
    const QString path = options_.state_directory + "/hwids.json";
    QJsonObject store = QJsonDocument::fromJson(read_file(path)).object();
    QJsonArray known = store.value(account->value("uuid").toString()).toArray();
    if (!known.contains(hwid)) {
        known.append(hwid);
    }
    store.insert(account->value("uuid").toString(), known);
    write_file(path, QJsonDocument(store).toJson());
    response.status = 204;
}

void GameService::crash_report(const httplib::Request& request, httplib::Response& response) {
    const auto account = authorised_account(request, response);
    if (!account) {
        return;
    }
    auto report = json_body(request, response, kMaxReportBody);
    if (!report) {
        return;
    }
    const QUuid event_id(report->value("event_id").toString());
    if (event_id.isNull() || !report->value("logs").isArray() ||
        !report->value("message").isString()) {
        send_error(response, 422, "A report needs \"event_id\" (a UUID), \"message\" and \"logs\"");
        return;
    }
    report->insert("received_at", QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs));
    report->insert("account", account->value("nickname"));
    std::lock_guard lock(state_mutex_);
    if (!store_report(options_.state_directory + "/reports", account->value("uuid").toString(),
                      event_id.toString(QUuid::WithoutBraces), QJsonDocument(*report).toJson(),
                      options_.report_quota)) {
        send_error(response, 500, "The report could not be stored");
        return;
    }
    std::printf(
        "  crash report from %s: [%s] %s\n",
        qPrintable(printable_for_log(account->value("nickname").toString().toStdString())),
        qPrintable(printable_for_log(report->value("level").toString().toStdString())),
        qPrintable(printable_for_log(report->value("message").toString().left(120).toStdString())));
    std::fflush(stdout);
    send_json(response, 202, QJsonObject{{"id", event_id.toString(QUuid::WithoutBraces)}});
}

void GameService::news(const httplib::Request& request, httplib::Response& response) {
    bool ok = false;
    int limit = QString::fromStdString(request.get_param_value("limit")).toInt(&ok);
    if (!ok || limit < 1 || limit > 20) {
        limit = 4;
    }
    QJsonArray items;
    for (qsizetype i = 0; i < std::min<qsizetype>(limit, news_.size()); ++i) {
        items.append(with_base(news_.at(i), base_url(request)));
    }
    send_json(response, 200, options_.pictures ? QJsonValue(items) : without_pictures(items));
}

void GameService::server_profiles(const httplib::Request& request, httplib::Response& response) {
    if (options_.fail_server_profiles) {
        send_error(response, 503, "Server profiles are unavailable right now");
        return;
    }
    response.set_header("Cache-Control", "max-age=60");
    const QJsonValue items = with_base(profiles_, base_url(request));
    send_json(response, 200,
              QJsonObject{{"items", options_.pictures ? items : without_pictures(items)}});
}

void GameService::news_page(const httplib::Request& request, httplib::Response& response) {
    const int id = std::stoi(request.matches[1]);
    for (const auto& value : news_) {
        const QJsonObject item = value.toObject();
        if (item.value("id").toInt() == id) {
            const QString html =
                QString(
                    "<!doctype html><html><head><meta charset=\"utf-8\"><title>%1</title></head>"
                    "<body style=\"font-family:sans-serif;background:#0f1829;color:#d8e1f2\">"
                    "<h1>%1</h1><p>%2</p><p>%3</p></body></html>")
                    .arg(item.value("title").toString().toHtmlEscaped(),
                         item.value("summary").toString().toHtmlEscaped(),
                         item.value("body").toString().toHtmlEscaped());
            response.set_content(html.toStdString(), "text/html; charset=utf-8");
            return;
        }
    }
    response.status = 404;
    response.set_content("<!doctype html><title>Not found</title><h1>No such news</h1>",
                         "text/html");
}

}  // namespace halvark::service
