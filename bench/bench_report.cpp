// Runs every figure of the benchmark table and prints it (also as Markdown to a file).
// Start-up figures time the real launcher as a whole process; a probe preloaded only here
// ends it once the awaited screen is painted.
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>

namespace {

struct Paths {
    QString bin;  // the benchmark build folder
    QString launcher() const { return bin + "/halvark_launcher"; }
    QString service() const { return bin + "/halvark_service"; }
    QString probe() const { return bin + "/bench/libhalvark_paint_probe.so"; }
    QString minimal() const { return bin + "/bench/minimal_window"; }
    QString text_field() const { return bin + "/bench/text_field_window"; }
    QString inprocess() const { return bin + "/bench/bench_inprocess"; }
};

struct Run {
    double ms = 0;
    qint64 peak_kb = 0;
    int objects = 0;  // shared objects mapped at the awaited paint
};

double median(QList<double> values) {
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(values.size() / 2);
}

Run run_process(const QString& program, const QProcessEnvironment& environment) {
    QProcess process;
    process.setProcessEnvironment(environment);
    QElapsedTimer clock;
    clock.start();
    process.start(program, {});
    process.waitForFinished(60000);
    Run run{static_cast<double>(clock.nsecsElapsed()) / 1e6, 0};
    const QString err = QString::fromUtf8(process.readAllStandardError());
    run.peak_kb = QRegularExpression("PROBE peak_kb=(\\d+)").match(err).captured(1).toLongLong();
    run.objects = QRegularExpression("objects=(\\d+)").match(err).captured(1).toInt();
    return run;
}

struct Service {
    QTemporaryDir state;
    QProcess process;
    QString url;
    bool start(const Paths& paths, const QStringList& options) {
        process.start(paths.service(),
                      QStringList{"--port", "0", "--state", state.path()} + options);
        for (int i = 0; i < 600 && url.isEmpty(); ++i) {
            process.waitForReadyRead(100);
            url = QRegularExpression("http://127\\.0\\.0\\.1:\\d+")
                      .match(QString::fromUtf8(process.readAllStandardOutput()))
                      .captured();
        }
        return !url.isEmpty();
    }
    ~Service() {
        process.terminate();
        process.waitForFinished(3000);
    }
};

QProcessEnvironment launcher_environment(const Paths& paths, const QString& appdata,
                                         const QString& url, const char* probe) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("APPDATA", appdata);
    environment.insert("HALVARK_LAUNCHER_API_URL", url);
    environment.insert("HALVARK_LAUNCHER_SITE_URL", url);
    environment.insert("LD_PRELOAD", paths.probe());
    environment.insert("HALVARK_PROBE", probe);
    return environment;
}

// A signed-in start: a service with `service_options` and a data folder holding Patron's
// remembered session.
struct ResumedStart {
    Service service;
    QTemporaryDir appdata;
    QProcessEnvironment environment;
    bool prepare(const Paths& paths, const QStringList& service_options, const char* probe) {
        if (!service.start(paths, service_options) ||
            QProcess::execute(paths.service(), {"--state", service.state.path(), "--write-session",
                                                "Patron:" + appdata.path() +
                                                    "/.halvark_launcher/session.json"}) != 0) {
            return false;
        }
        environment = launcher_environment(paths, appdata.path(), service.url, probe);
        return true;
    }
};

// Median time and peak memory of the launcher resuming Patron's session against a service.
QPair<double, qint64> resumed_start(const Paths& paths, const QStringList& service_options,
                                    const char* probe, int runs) {
    ResumedStart start;
    if (!start.prepare(paths, service_options, probe)) {
        return {0, 0};
    }
    run_process(paths.launcher(), start.environment);  // warms the disk caches
    QList<double> times;
    qint64 peak = 0;
    for (int i = 0; i < runs; ++i) {
        const Run run = run_process(paths.launcher(), start.environment);
        times.append(run.ms);
        peak = std::max(peak, run.peak_kb);
    }
    return {median(times), peak};
}

// Two programs timed in alternating pairs, so that a slower or busier moment weighs on both
// sides alike; the figure is the median of the pair ratios.
struct Paired {
    double subject_ms = 0;
    double baseline_ms = 0;
    double ratio = 0;
    double lowest = 0;
    double highest = 0;
    int subject_objects = 0;
    int baseline_objects = 0;
};

Paired run_pairs(const QString& subject, const QProcessEnvironment& subject_environment,
                 const QString& baseline, const QProcessEnvironment& baseline_environment,
                 int pairs) {
    const int subject_objects = run_process(subject, subject_environment).objects;  // warm-up
    const int baseline_objects = run_process(baseline, baseline_environment).objects;
    QList<double> subjects;
    QList<double> baselines;
    QList<double> ratios;
    for (int i = 0; i < pairs; ++i) {
        subjects.append(run_process(subject, subject_environment).ms);
        baselines.append(run_process(baseline, baseline_environment).ms);
        ratios.append(subjects.last() / baselines.last());
    }
    return {median(subjects),
            median(baselines),
            median(ratios),
            *std::min_element(ratios.begin(), ratios.end()),
            *std::max_element(ratios.begin(), ratios.end()),
            subject_objects,
            baseline_objects};
}

// Instructions executed by `program` until it ends, counted by callgrind (0 without valgrind):
// exact and free of the machine's noise.
qint64 instructions(const QString& program, const QProcessEnvironment& environment) {
    QProcess process;
    process.setProcessEnvironment(environment);  // valgrind keeps the probe preloaded
    process.start("valgrind", {"--tool=callgrind", "--callgrind-out-file=/dev/null", program});
    if (!process.waitForFinished(300000)) {
        process.kill();
        return 0;
    }
    return QRegularExpression("Collected : (\\d+)")
        .match(QString::fromUtf8(process.readAllStandardError()))
        .captured(1)
        .toLongLong();
}

QString ratio_text(const Paired& paired) {
    return QString("%1× (pairs %2–%3×)")
        .arg(paired.ratio, 0, 'f', 2)
        .arg(paired.lowest, 0, 'f', 2)
        .arg(paired.highest, 0, 'f', 2);
}

QString millions(qint64 count) {
    return count > 0 ? QString(", %1 M instructions").arg(count / 1e6, 0, 'f', 0) : QString();
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    const Paths paths{QCoreApplication::applicationDirPath() + "/.."};
    const QString output = argc > 1 ? QString::fromLocal8Bit(argv[1]) : paths.bin + "/bench.md";
    constexpr int kPairs = 20;  // start-up times on a shared machine scatter by ±10 %
    QStringList rows;
    const auto row = [&rows](const QString& figure, const QString& value, const QString& baseline,
                             const QString& ratio, const QString& target) {
        rows.append(
            QString("| %1 | %2 | %3 | %4 | %5 |").arg(figure, value, baseline, ratio, target));
        std::printf("%s\n", qPrintable(rows.last()));
        std::fflush(stdout);
    };

    // Cold start to the painted sign-in page, against a minimal Qt Widgets window with the
    // same probe library loaded (idle there: the window ends itself on its first paint).
    double signin = 0;
    {
        Service service;
        service.start(paths, {"--no-pictures"});
        QTemporaryDir appdata;
        const auto launcher = launcher_environment(paths, appdata.path(), service.url, "signin");
        QProcessEnvironment minimal = launcher;
        minimal.remove("HALVARK_PROBE");
        const Paired cold = run_pairs(paths.launcher(), launcher, paths.minimal(), minimal, kPairs);
        signin = cold.subject_ms;
        const qint64 launcher_instructions = instructions(paths.launcher(), launcher);
        row("Cold start to the painted sign-in page",
            QString("%1 ms%2, %3 shared objects")
                .arg(cold.subject_ms, 0, 'f', 1)
                .arg(millions(launcher_instructions))
                .arg(cold.subject_objects),
            QString("%1 ms (minimal window%2, %3 shared objects)")
                .arg(cold.baseline_ms, 0, 'f', 1)
                .arg(millions(instructions(paths.minimal(), minimal)))
                .arg(cold.baseline_objects),
            ratio_text(cold), "≤ 1.5×");
        // The floor under that ratio: one empty line edit in the same window.
        const Paired floor =
            run_pairs(paths.text_field(), minimal, paths.minimal(), minimal, kPairs);
        const qint64 floor_instructions = instructions(paths.text_field(), minimal);
        row("Minimal window with one line edit (what any page with text costs)",
            QString("%1 ms%2, %3 shared objects")
                .arg(floor.subject_ms, 0, 'f', 1)
                .arg(millions(floor_instructions))
                .arg(floor.subject_objects),
            QString("%1 ms (minimal window)").arg(floor.baseline_ms, 0, 'f', 1), ratio_text(floor),
            "reference");
        if (floor_instructions > 0) {
            row("Cold start to the sign-in page in instructions, against that floor",
                millions(launcher_instructions).mid(2), millions(floor_instructions).mid(2),
                QString("%1×").arg(double(launcher_instructions) / floor_instructions, 0, 'f', 2),
                "≤ 1.3×");
        }
    }
    {
        ResumedStart pictures;
        ResumedStart bare;
        if (pictures.prepare(paths, {}, "home") &&
            bare.prepare(paths, {"--no-pictures"}, "home-bare")) {
            const Paired home = run_pairs(paths.launcher(), pictures.environment, paths.launcher(),
                                          bare.environment, kPairs);
            row("Saved session to the painted home screen, pictures from a warm disk cache",
                QString("%1 ms (%2 ms after the sign-in page's cold start)%3")
                    .arg(home.subject_ms, 0, 'f', 1)
                    .arg(home.subject_ms - signin, 0, 'f', 1)
                    .arg(millions(instructions(paths.launcher(), pictures.environment))),
                QString("%1 ms (no pictures%2)")
                    .arg(home.baseline_ms, 0, 'f', 1)
                    .arg(millions(instructions(paths.launcher(), bare.environment))),
                ratio_text(home), "≤ 1.3×");
        }
    }

    const qint64 bare_peak = resumed_start(paths, {"--no-pictures"}, "home-bare", 3).second;
    for (const char* format : {"JPEG", "PNG"}) {
        const auto [big, big_peak] = resumed_start(
            paths, {"--news-pictures", QString("8000x6000:%1").arg(format)}, "home", 3);
        row(QString("Peak memory with four 8000×6000 %1 news pictures").arg(format),
            QString("%1 MiB").arg(big_peak / 1024.0, 0, 'f', 1),
            QString("%1 MiB (no pictures)").arg(bare_peak / 1024.0, 0, 'f', 1),
            QString("+%1 MiB").arg((big_peak - bare_peak) / 1024.0, 0, 'f', 1), "≤ +40 MiB");
    }

    // In-process figures from Google Benchmark.
    QProcess inprocess;
    inprocess.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    inprocess.setStandardErrorFile(QProcess::nullDevice());
    inprocess.start(paths.inprocess(), {"--benchmark_format=json", "--benchmark_repetitions=5",
                                        "--benchmark_report_aggregates_only=true"});
    inprocess.waitForFinished(300000);
    QHash<QString, QJsonObject> medians;
    for (const auto& value : QJsonDocument::fromJson(inprocess.readAllStandardOutput())
                                 .object()
                                 .value("benchmarks")
                                 .toArray()) {
        const QJsonObject result = value.toObject();
        if (result.value("aggregate_name").toString() == "median") {
            medians.insert(result.value("run_name").toString(), result);
        }
    }
    const auto per_second = [&](const QString& name) {
        return medians.value(name).value("items_per_second").toDouble();
    };
    const double plain = per_second("log_lines_plain_append/real_time");
    for (const auto& [name, label] :
         {QPair<QString, QString>{"log_lines_through_handler/1/real_time", "one thread"},
          {"log_lines_through_handler/4/real_time", "four threads"}}) {
        row(QString("Log lines per second through the message handler, %1").arg(label),
            QString("%1").arg(per_second(name), 0, 'f', 0),
            QString("%1 (plain append loop)").arg(plain, 0, 'f', 0),
            QString("%1×").arg(per_second(name) / plain, 0, 'f', 2), "≥ 0.7×");
    }
    const auto time_of = [&](const QString& name) {
        const QJsonObject result = medians.value(name);
        return QString("%1 %2")
            .arg(result.value("real_time").toDouble(), 0, 'f', 3)
            .arg(result.value("time_unit").toString());
    };
    row("Crash report payload, 200 events and a 1000-line log", time_of("crash_report_payload"),
        "—", "—", "≤ 5 ms");
    row("Newest log for a report among 100,000 logs (GUI thread, one stretch)",
        time_of("newest_log_among_100000"), "—", "—", "≤ 100 ms");
    row("Translator lookup", time_of("translator_lookup"), "—", "—", "report");
    row("Settings getter (reads settings.json)", time_of("settings_getter"), "—", "—", "report");
    row("Profile render with 50 donate roles", time_of("profile_render_50_roles"), "—", "—",
        "report");
    const auto count_of = [&](const QString& name, const QString& counter) {
        return QString::number(medians.value(name).value(counter).toDouble(), 'f', 0);
    };
    row("Worst news list (4 MiB, parsed and rendered)", time_of("news_list_worst_case"), "—", "—",
        "≤ 100 ms");
    row(QString("Worst server-profile list (4 MiB, %1 profiles, parsed, gated, rendered)")
            .arg(count_of("server_profile_list_worst_case", "profiles")),
        time_of("server_profile_list_worst_case"), "—", "—", "≤ 100 ms");
    row(QString("Worst current user (1 MiB, %1 donate roles) on the profile and home screens")
            .arg(count_of("current_user_worst_case", "roles")),
        time_of("current_user_worst_case"), "—", "—", "≤ 100 ms");

    QFile file(output);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(QString("Machine: %1, %2 cores; %3\n\n| Figure | Median | Baseline | Ratio | "
                           "Target |\n|---|---|---|---|---|\n%4\n")
                       .arg(QSysInfo::prettyProductName())
                       .arg(QThread::idealThreadCount())
                       .arg(QDateTime::currentDateTimeUtc().toString("yyyy-MM-dd"), rows.join('\n'))
                       .toUtf8());
    }
    std::printf("Written to %s\n", qPrintable(output));
    return 0;
}
