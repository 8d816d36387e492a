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
#include "request_gate.h"
#include "server_setup.h"

namespace {

halvark::service::RequestGate* running_server = nullptr;

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
        "Limits: five failed sign-ins a minute per client address and twenty per nickname\n"
        "(counted before the password is checked; an owner's own addresses are exempt from\n"
        "the nickname's count), then 429 with Retry-After; nicknames up to 64 characters,\n"
        "one case-folded form for lookup and counting. Two password derivations at once:\n"
        "an owner waits up to 4 s for one and goes first, others get 429 when none is free.\n"
        "A TOTP code is accepted once, within one 30-second step of the clock.\n"
        "Connections: 16 per client address, 512 in all; a request's head and body must\n"
        "arrive within 5 s of its first byte, however slowly it trickles, and are read\n"
        "before any of the 16 workers sees it; a kept-alive connection idle for 5 s is let\n"
        "go. Bodies up to 16 KiB (4 MiB for crash reports). Crash reports are kept up to\n"
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

    halvark::service::RequestGate server;
    halvark::service::configure_server(server.routes());
    service.register_routes(server.routes());
    const int port = parser.value(port_option).toInt();
    const int bound = server.bind("127.0.0.1", port);
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
    server.run();
    running_server = nullptr;
    done = true;
    code_printer.join();
    return 0;
}
