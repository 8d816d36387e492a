// The local service under load: an owner's sign-in and a news request, idle and while
// attackers on other loopback addresses trickle or flood. Starts the real halvark_service
// (real password derivations) and prints a Markdown table.
//
//   service_load PATH/TO/halvark_service [SECONDS_PER_SCENARIO]
#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "loopback_client.h"

using namespace halvark::service;
using Clock = std::chrono::steady_clock;

namespace {

std::string address(int block, int index) {
    return "127.0." + std::to_string(block + index / 250) + "." + std::to_string(1 + index % 250);
}

std::string login(const QString& nickname, const QString& password) {
    const QJsonObject body{{"login", nickname}, {"password", password}};
    return http_request("POST", "/api/v1/launcher/auth/login",
                        QJsonDocument(body).toJson(QJsonDocument::Compact).toStdString());
}

struct Samples {
    std::vector<double> ms;
    std::map<int, int> failed;  // by status, 0 when no answer came
    std::string failures() const {
        std::string text;
        for (const auto& [status, count] : failed) {
            text += (text.empty() ? "" : " ") + std::to_string(count) + "×" +
                    (status == 0 ? std::string("none") : std::to_string(status));
        }
        return text.empty() ? "0" : text;
    }
    double quantile(double q) const {
        if (ms.empty()) {
            return 0;
        }
        std::vector<double> sorted = ms;
        std::sort(sorted.begin(), sorted.end());
        return sorted[std::min(sorted.size() - 1, static_cast<size_t>(q * sorted.size()))];
    }
};

// Runs `request` from 127.0.0.1 again and again until `until`, one at a time.
Samples measure(int port, const std::string& request, Clock::time_point until, int at_most) {
    Samples samples;
    while (Clock::now() < until && static_cast<int>(samples.ms.size()) < at_most) {
        const auto start = Clock::now();
        const int status = exchange("127.0.0.1", port, request, std::chrono::seconds(15));
        samples.ms.push_back(
            std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        if (status != 200) {
            ++samples.failed[status];
        }
    }
    return samples;
}

// Attackers from many addresses, on threads of their own, until stopped.
class Attack {
  public:
    virtual ~Attack() { stop(); }
    void stop() {
        done_ = true;
        for (auto& thread : threads_) {
            thread.join();
        }
        threads_.clear();
    }

  protected:
    void spawn(std::function<void()> body) { threads_.emplace_back(std::move(body)); }
    std::atomic<bool> done_{false};

  private:
    std::vector<std::thread> threads_;
};

// `count` connections that each send one header line every three seconds.
class SlowClients : public Attack {
  public:
    SlowClients(int port, int count) {
        spawn([this, port, count] {
            std::vector<std::unique_ptr<LoopbackClient>> clients;
            auto next = Clock::now();
            while (!done_) {
                if (Clock::now() >= next) {
                    for (auto& client : clients) {
                        if (!client->send("X-Slow: 1\r\n")) {
                            client.reset();
                        }
                    }
                    std::erase(clients, nullptr);
                    while (static_cast<int>(clients.size()) < count) {  // the cut-off come back
                        auto client = std::make_unique<LoopbackClient>(
                            address(10, static_cast<int>(clients.size())), port);
                        client->send("GET /api/v1/news HTTP/1.1\r\nHost: x\r\n");
                        clients.push_back(std::move(client));
                    }
                    next = Clock::now() + std::chrono::seconds(3);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
    }
};

// `count` addresses trying wrong passwords for unknown nicknames: each once every `period`
// (12 s keeps every address under its limit of five a minute), their turns spread evenly
// over the period; or, with a zero period, each with one attempt always in flight.
class Flood : public Attack {
  public:
    Flood(int port, int count, std::chrono::milliseconds period, std::atomic<int>& answered) {
        const int threads = std::min(count, period.count() == 0 ? count : 32);
        const auto start = Clock::now();
        for (int t = 0; t < threads; ++t) {
            spawn([this, port, count, period, threads, t, start, &answered] {
                for (int round = 0; !done_; ++round) {
                    for (int i = t; i < count && !done_; i += threads) {
                        const auto turn = start + period * round + period * i / count;
                        while (!done_ && Clock::now() < turn) {
                            std::this_thread::sleep_for(std::chrono::milliseconds(5));
                        }
                        const QString nickname = QString("nobody%1x%2").arg(i).arg(round);
                        exchange(address(20, i), port, login(nickname, "wrong"),
                                 std::chrono::seconds(15));
                        ++answered;
                    }
                }
            });
        }
    }
};

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: service_load PATH/TO/halvark_service [SECONDS]\n");
        return 2;
    }
    const int seconds = argc > 2 ? std::max(3, std::atoi(argv[2])) : 10;
    QTemporaryDir state;
    QProcess service;
    service.setProgram(QString::fromLocal8Bit(argv[1]));
    service.setArguments({"--port", "0", "--state", state.path()});
    // The console goes to a file: a pipe that nobody empties would stall the service's
    // request lines once it is full.
    const QString console = state.filePath("console.txt");
    service.setStandardOutputFile(console);
    service.start();
    int port = 0;
    for (int waited = 0; port == 0 && waited < 100 && service.state() != QProcess::NotRunning;
         ++waited) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        QFile file(console);
        const QByteArray first = file.open(QIODevice::ReadOnly) ? file.readLine() : QByteArray();
        if (first.endsWith('\n')) {  // "Listening on http://127.0.0.1:PORT"
            port = first.mid(first.lastIndexOf(':') + 1).trimmed().toInt();
        }
    }
    if (port == 0) {
        std::fprintf(stderr, "the service did not start\n");
        return 1;
    }
    const std::string owner = login("Rook", "rook-pass");
    const std::string news = http_request("GET", "/api/v1/news?limit=4");
    if (exchange("127.0.0.1", port, owner) != 200) {  // 127.0.0.1 is the owner's from now on
        std::fprintf(stderr, "the owner could not sign in\n");
        return 1;
    }

    std::printf(
        "| scenario | attack | news req/s | news p50 / p99 ms | owner sign-in p50 / p99 ms "
        "| failed news / sign-ins | attacker answers/s |\n|---|---|---|---|---|---|---|\n");
    const auto scenario =
        [&](const char* name, const char* size,
            const std::function<std::unique_ptr<Attack>(std::atomic<int>&)>& make) {
            std::atomic<int> answered{0};
            const std::unique_ptr<Attack> attack = make(answered);
            std::this_thread::sleep_for(std::chrono::seconds(2));  // the attack in full swing
            const int answered_before = answered;
            const auto until = Clock::now() + std::chrono::seconds(seconds);
            Samples news_samples;
            std::thread news_thread([&] { news_samples = measure(port, news, until, 1000000); });
            const Samples sign_ins = measure(port, owner, until, 12);
            news_thread.join();
            const double attack_rate = (answered - answered_before) / double(seconds);
            std::printf("| %s | %s | %.0f | %.1f / %.1f | %.0f / %.0f | %s / %s | %.1f |\n", name,
                        size, news_samples.ms.size() / double(seconds), news_samples.quantile(0.5),
                        news_samples.quantile(0.99), sign_ins.quantile(0.5),
                        sign_ins.quantile(0.99), news_samples.failures().c_str(),
                        sign_ins.failures().c_str(), attack_rate);
            std::fflush(stdout);
        };
    scenario("idle", "none", [](std::atomic<int>&) { return std::make_unique<Attack>(); });
    scenario("slow clients", "70 connections from 70 addresses, a header line every 3 s",
             [&](std::atomic<int>&) { return std::make_unique<SlowClients>(port, 70); });
    scenario("flood under the limits", "200 addresses, a wrong password each every 12 s",
             [&](std::atomic<int>& answered) {
                 return std::make_unique<Flood>(port, 200, std::chrono::seconds(12), answered);
             });
    scenario("flood", "200 addresses, each with an attempt always in flight",
             [&](std::atomic<int>& answered) {
                 return std::make_unique<Flood>(port, 200, std::chrono::milliseconds(0), answered);
             });
    service.terminate();
    service.waitForFinished(5000);
    return 0;
}
