// In-process figures: logging, crash report payloads, translator, settings, profile render,
// and the worst lists the reply size limits let through.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <functional>
#include <thread>
#include <vector>

#include "app/translator.h"
#include "diagnostics/crash_report.h"
#include "diagnostics/crash_reporter.h"
#include "diagnostics/session_log.h"
#include "net/network_policy.h"
#include "storage/data_folder.h"
#include "storage/settings_store.h"
#include "ui/main_window.h"
#include "ui/screens/launch_screen.h"
#include "ui/screens/profile_screen.h"

using namespace halvark;

namespace {

constexpr int kLinesPerRun = 2000;

void log_lines_through_handler(benchmark::State& state) {
    const int threads = static_cast<int>(state.range(0));
    for (auto _ : state) {
        std::vector<std::thread> workers;
        for (int t = 0; t < threads; ++t) {
            workers.emplace_back([threads] {
                for (int i = 0; i < kLinesPerRun / threads; ++i) {
                    qInfo("benchmark line %d with some ordinary text in it", i);
                }
            });
        }
        for (auto& worker : workers) {
            worker.join();
        }
    }
    state.SetItemsProcessed(state.iterations() * kLinesPerRun);
}

// The same work done the plainest way: open, append, close for every line.
void log_lines_plain_append(benchmark::State& state) {
    const QString path = storage::logs_directory() + "/plain.txt";
    for (auto _ : state) {
        for (int i = 0; i < kLinesPerRun; ++i) {
            QFile file(path);
            file.open(QIODevice::WriteOnly | QIODevice::Append);
            file.write(QDateTime::currentDateTime().toString("yyyy-MM-dd HH:mm:ss.zzz").toUtf8() +
                       " [info] benchmark line with some ordinary text in it\n");
        }
    }
    state.SetItemsProcessed(state.iterations() * kLinesPerRun);
}

void crash_report_payload(benchmark::State& state) {
    QStringList events;
    for (int i = 0; i < 200; ++i) {
        events.append(QString("2026-12-06T10:00:00.000Z [info] recent event number %1").arg(i));
    }
    QString log = "===== run.log =====\n";
    for (int i = 0; i < 1000; ++i) {
        log += QString("2026-12-06 10:00:00.000 [info] log line number %1 of the session\n").arg(i);
    }
    const diagnostics::ReportContext context{
        "production", "halvark-launcher@0.1.0", {{"uuid", "u"}}, events};
    for (auto _ : state) {
        benchmark::DoNotOptimize(diagnostics::build_report_payload(
            "id", {"error", "message", "", "", false}, context, log));
    }
}

// The log part of a report when a long-lived install has piled up 100,000 logs: one
// uninterrupted stretch of the GUI thread.
void newest_log_among_100000(benchmark::State& state) {
    const QString logs = storage::logs_directory();
    QDir().mkpath(logs);
    const QDateTime first(QDate(2020, 1, 1), QTime(0, 0));
    for (int i = 0; i < 100000; ++i) {
        QFile file(logs + first.addSecs(i).toString("/yyyy-MM-dd_HH-mm-ss") + ".log");
        if (!file.open(QIODevice::WriteOnly)) {
            state.SkipWithError("cannot create the logs");
            return;
        }
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(diagnostics::collect_log_text(1));
    }
    QDir(logs).removeRecursively();
}

void translator_lookup(benchmark::State& state) {
    app::Translator::instance().set_language("en");
    for (auto _ : state) {
        benchmark::DoNotOptimize(app::tr("launch.server_profiles_role_blocked"));
    }
}

void settings_getter(benchmark::State& state) {
    storage::SettingsStore().save("en", 4096, false, "/games", true);
    for (auto _ : state) {
        benchmark::DoNotOptimize(storage::SettingsStore().ram_mb());
    }
}

void profile_render_50_roles(benchmark::State& state) {
    QJsonArray roles;
    for (int i = 0; i < 50; ++i) {
        roles.append(QJsonObject{{"role_title", QString("Role %1").arg(i)},
                                 {"server_name", "Northreach"},
                                 {"expires_at", "2027-01-01"},
                                 {"is_active", i % 2 == 0},
                                 {"role_color", "#f5b942"}});
    }
    const QJsonObject user{{"nickname", "Patron"}, {"money", 1534}, {"donate_roles", roles}};
    ui::screens::ProfileScreen screen;
    for (auto _ : state) {
        screen.set_user(user);
    }
}

// The worst answers the size limits let through, from the reply's bytes to the rendered
// screen: all of it runs on the window's thread.
QByteArray filled_to(qint64 limit, const std::function<QJsonObject(int)>& element,
                     const QString& member = QString()) {
    QJsonArray array;
    qint64 size = 2;
    for (int i = 0; size < limit - 400; ++i) {
        const QJsonObject object = element(i);
        size += QJsonDocument(object).toJson(QJsonDocument::Compact).size() + 1;
        array.append(object);
    }
    array.removeLast();
    return member.isEmpty()
               ? QJsonDocument(array).toJson(QJsonDocument::Compact)
               : QJsonDocument(QJsonObject{{member, array}}).toJson(QJsonDocument::Compact);
}

void news_list_worst_case(benchmark::State& state) {
    const QByteArray body = filled_to(net::kListReplyLimit, [](int i) {
        return QJsonObject{
            {"id", i + 1}, {"title", QString(1000, 't')}, {"summary", QString(1000, 's')}};
    });
    ui::screens::LaunchScreen screen;
    for (auto _ : state) {
        screen.render_news(ui::screens::LaunchScreen::news_items_from(body));
    }
}

// Every profile but the last few asks for a role the account lacks: the whole list is scanned.
QByteArray worst_server_profile_list() {
    return filled_to(net::kListReplyLimit, [](int i) {
        return QJsonObject{{"name", QString("P%1").arg(i)},
                           {"required_role_id", i % 1000 == 999 ? 7 : 9}};
    });
}

void server_profile_list_worst_case(benchmark::State& state) {
    const QByteArray body = worst_server_profile_list();
    ui::screens::LaunchScreen screen;
    screen.set_user(QJsonObject{{"role_id", 7}});
    for (auto _ : state) {
        screen.render_server_profiles(
            *ui::screens::LaunchScreen::server_profile_list_from(body, nullptr));
    }
    state.counters["profiles"] = static_cast<double>(
        ui::screens::LaunchScreen::server_profile_list_from(body, nullptr)->size());
}

// A profile refresh: the user object read, the profile screen and the selector rendered again
// against the largest server-profile list.
void current_user_worst_case(benchmark::State& state) {
    const QByteArray body = filled_to(
        net::kAccountReplyLimit,
        [](int i) {
            return QJsonObject{{"role_title", QString("Role %1").arg(i)},
                               {"server_name", "Northreach"},
                               {"role_id", i},
                               {"is_active", true},
                               {"role_color", "#f5b942"}};
        },
        "donate_roles");
    ui::screens::LaunchScreen launch;
    launch.render_server_profiles(
        *ui::screens::LaunchScreen::server_profile_list_from(worst_server_profile_list(), nullptr));
    ui::screens::ProfileScreen profile;
    for (auto _ : state) {
        const QJsonObject user = api::user_from_me_body(body);
        profile.set_user(user);
        launch.set_user(user);
    }
    state.counters["roles"] =
        static_cast<double>(api::user_from_me_body(body).value("donate_roles").toArray().size());
}

}  // namespace

BENCHMARK(log_lines_through_handler)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(log_lines_plain_append)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(crash_report_payload)->Unit(benchmark::kMillisecond);
BENCHMARK(newest_log_among_100000)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(translator_lookup);
BENCHMARK(settings_getter)->Unit(benchmark::kMicrosecond);
BENCHMARK(profile_render_50_roles)->Unit(benchmark::kMillisecond);
BENCHMARK(news_list_worst_case)->Unit(benchmark::kMillisecond);
BENCHMARK(server_profile_list_worst_case)->Unit(benchmark::kMillisecond);
BENCHMARK(current_user_worst_case)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    QTemporaryDir appdata;
    qputenv("APPDATA", appdata.path().toUtf8());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The launch screen asks for its lists at once: a closed port answers without delay.
    qputenv("HALVARK_LAUNCHER_API_URL", "http://127.0.0.1:9");
    qputenv("HALVARK_LAUNCHER_SITE_URL", "http://127.0.0.1:9");
    QApplication application(argc, argv);
    diagnostics::start_session_log();
    app::Translator::instance().set_language("en");
    // The launcher's handler, writing into the log; the console echo is switched off.
    diagnostics::CrashReporter::instance().init({"", "production", "bench"});
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
