// The local game service: everything the launcher talks to, on one loopback port.
#include <httplib.h>

#include <QCommandLineParser>
#include <QDateTime>
#include <QDir>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QSaveFile>
#include <QTextStream>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <thread>

#include "game_service.h"
#include "password.h"
#include "server_setup.h"

namespace {

httplib::Server* running_server = nullptr;

void stop_on_signal(int) {
    if (running_server != nullptr) {
        running_server->stop();
    }
}

bool write_session(const QString& token, qint64 expires_at, const QString& path) {
    QDir().mkpath(QFileInfo(path).path());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.write(QJsonDocument(QJsonObject{{"access_token", token}, {"expires_at_unix", expires_at}})
                   .toJson());
    return file.commit();
}

}  // namespace

int main(int argc, char* argv[]) {
    // Pictures are drawn without a screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Local game service for the Halvark Launcher.\n\n"
        "Limits: five failed sign-ins a minute per account and per client address, then 429\n"
        "with Retry-After until the oldest failure is a minute old; a TOTP code is accepted\n"
        "once, within one 30-second step of the clock. 64 workers; a client idle for 5 s is\n"
        "let go. Bodies up to 16 KiB (4 MiB for crash reports). Crash reports are kept up to\n"
        "20 and 16 MiB per account and 200 and 128 MiB in all, the oldest dropped first.\n"
        "The request log escapes every byte that is not printable ASCII.");
    parser.addHelpOption();
    const QCommandLineOption port_option("port", "Port on 127.0.0.1 (0 picks a free one).", "port",
                                         "8765");
    const QCommandLineOption data_option(
        "data", "Folder with accounts.json, news.json, server_profiles.json.", "dir",
        QCoreApplication::applicationDirPath() + "/service-data");
    const QCommandLineOption state_option(
        "state", "Folder for the signing key, hardware ids and crash reports.", "dir",
        QDir::currentPath() + "/halvark-service-state");
    const QCommandLineOption lifetime_option("expires-in", "Token lifetime in seconds.", "seconds",
                                             "3600");
    const QCommandLineOption fail_option("fail-server-profiles",
                                         "Answer the server-profile list with an error.");
    const QCommandLineOption session_option(
        "write-session", "Write a remembered session for NICKNAME to FILE and exit.",
        "nickname:file");
    const QCommandLineOption no_pictures_option("no-pictures", "Serve no pictures at all.");
    const QCommandLineOption picture_option("news-pictures",
                                            "Size and format of the news pictures.",
                                            "WIDTHxHEIGHT:FORMAT", "992x340:PNG");
    const QCommandLineOption hash_option(
        "hash-password",
        "Print the stored form of a password (for the \"password\" of accounts.json) and exit; "
        "the password is read from standard input.");
    parser.addOptions({port_option, data_option, state_option, lifetime_option, fail_option,
                       session_option, no_pictures_option, picture_option, hash_option});
    parser.process(application);
    if (parser.isSet(hash_option)) {
        QTextStream input(stdin);
        const QString stored = halvark::service::hash_password(input.readLine());
        std::printf("%s\n", qPrintable(stored));
        return stored.isEmpty() ? 1 : 0;
    }

    halvark::service::ServiceOptions options;
    options.data_directory = parser.value(data_option);
    options.state_directory = parser.value(state_option);
    options.token_lifetime_seconds = std::max(1LL, parser.value(lifetime_option).toLongLong());
    options.fail_server_profiles = parser.isSet(fail_option);
    options.pictures = !parser.isSet(no_pictures_option);
    const QString pictures = parser.value(picture_option);
    options.news_picture_size = QSize(pictures.section('x', 0, 0).toInt(),
                                      pictures.section('x', 1).section(':', 0, 0).toInt());
    options.news_picture_format = pictures.section(':', 1).toLatin1();
    if (options.news_picture_size.isEmpty() || options.news_picture_size.width() > 10000 ||
        options.news_picture_size.height() > 10000) {
        std::fprintf(stderr, "--news-pictures wants WIDTHxHEIGHT:FORMAT within 10000x10000\n");
        return 1;
    }
    halvark::service::GameService service(options);
    if (!service.load()) {
        return 1;
    }

    if (parser.isSet(session_option)) {
        const QString value = parser.value(session_option);
        const QString nickname = value.section(':', 0, 0);
        const auto token = service.issue_token(nickname);
        if (!token ||
            !write_session(*token,
                           QDateTime::currentSecsSinceEpoch() + options.token_lifetime_seconds,
                           value.section(':', 1))) {
            std::fprintf(stderr, "Cannot write a session for %s\n", qPrintable(nickname));
            return 1;
        }
        return 0;
    }

    httplib::Server server;
    halvark::service::configure_server(server);
    service.register_routes(server);
    const int port = parser.value(port_option).toInt();
    const int bound = port == 0 ? server.bind_to_any_port("127.0.0.1")
                                : (server.bind_to_port("127.0.0.1", port) ? port : -1);
    if (bound <= 0) {
        std::fprintf(stderr, "Cannot listen on 127.0.0.1:%d\n", port);
        return 1;
    }
    // Cleared again below, before `server` goes away.
    // cppcheck-suppress danglingLifetime
    running_server = &server;
    std::signal(SIGINT, stop_on_signal);
    std::signal(SIGTERM, stop_on_signal);

    std::printf("Listening on http://127.0.0.1:%d\n", bound);
    std::printf("Reports go to %s/reports\n",
                qPrintable(QDir(options.state_directory).absolutePath()));
    std::fflush(stdout);

    std::atomic<bool> done{false};
    std::thread code_printer([&] {
        qint64 last_step = -1;
        while (!done) {
            const qint64 step = QDateTime::currentSecsSinceEpoch() / 30;
            if (step != last_step) {
                last_step = step;
                for (const auto& account : service.accounts()) {
                    const QString code = service.current_totp_code(account.toObject());
                    if (!code.isEmpty()) {
                        std::printf("  TOTP code for %s: %s\n",
                                    qPrintable(account.toObject().value("nickname").toString()),
                                    qPrintable(code));
                        std::fflush(stdout);
                    }
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
        }
    });
    server.listen_after_bind();
    running_server = nullptr;
    done = true;
    code_printer.join();
    return 0;
}
