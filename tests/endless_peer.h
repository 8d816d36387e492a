#pragma once

#include <QByteArray>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <atomic>
#include <functional>
#include <future>
#include <list>
#include <memory>
#include <thread>

#ifdef Q_OS_WIN
#include <windows.h>
// clang-format off
#include <psapi.h>
// clang-format on
#else
#include <unistd.h>
#include <QFile>
#endif

namespace halvark::testing {

// A peer on loopback that sends `head` to each client once it has asked, then `repeated`
// (every `interval_ms`, or as fast as it is read when 0) for as long as the client listens:
// answers no HTTP library would write. Each connection has a thread of its own.
class EndlessPeer {
  public:
    EndlessPeer(const QByteArray& head, const QByteArray& repeated, int interval_ms = 0) {
        std::promise<quint16> listening;
        auto port = listening.get_future();
        acceptor_ = std::thread([=, this, listening = std::move(listening)]() mutable {
            Acceptor server;
            server.on_socket = [&](qintptr socket) {
                ++connections_;
                ++open_;
                serving_.emplace_back([=, this] { serve(socket, head, repeated, interval_ms); });
            };
            server.listen(QHostAddress::LocalHost);
            listening.set_value(server.serverPort());
            while (!stop_) {
                server.waitForNewConnection(20);
            }
            for (std::thread& thread : serving_) {
                thread.join();
            }
        });
        url = QString("http://127.0.0.1:%1/").arg(port.get());
    }
    ~EndlessPeer() {
        stop_ = true;
        acceptor_.join();
    }
    EndlessPeer(const EndlessPeer&) = delete;
    EndlessPeer& operator=(const EndlessPeer&) = delete;

    QString url;
    int connections() const { return connections_; }
    int open_connections() const { return open_; }

  private:
    // Hands each connection on as a bare socket, for a thread of its own.
    class Acceptor : public QTcpServer {
      public:
        std::function<void(qintptr)> on_socket;

      protected:
        void incomingConnection(qintptr socket) override { on_socket(socket); }
    };

    void serve(qintptr descriptor, const QByteArray& head, const QByteArray& repeated,
               int interval_ms) {
        QTcpSocket client;
        client.setSocketDescriptor(descriptor);
        client.waitForReadyRead(1000);
        client.write(head);
        while (!stop_ && client.state() == QAbstractSocket::ConnectedState) {
            client.write(repeated);
            client.waitForBytesWritten(100);
            if (interval_ms > 0) {
                QThread::msleep(interval_ms);
            }
            client.waitForReadyRead(0);  // notices a client that hung up
        }
        --open_;
    }

    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
    std::atomic<int> open_{0};
    std::list<std::thread> serving_;
    std::thread acceptor_;
};

// The answers that made Qt 6.4's own HTTP stack read without end, and one that trickles.
struct HostileAnswer {
    const char* name;
    QByteArray head;
    QByteArray repeated;
    int interval_ms;
};
inline QList<HostileAnswer> hostile_answers() {
    const QByteArray block(qsizetype(64) * 1024, 'x');
    return {
        {"401, chunked without end",
         "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Bearer\r\nTransfer-Encoding: "
         "chunked\r\n\r\n",
         "10000\r\n" + block + "\r\n", 0},
        {"407, chunked without end",
         "HTTP/1.1 407 Proxy Authentication Required\r\nTransfer-Encoding: chunked\r\n\r\n",
         "10000\r\n" + block + "\r\n", 0},
        {"401, a terabyte announced",
         "HTTP/1.1 401 Unauthorized\r\nContent-Length: 1099511627776\r\n\r\n", block, 0},
        {"407, a terabyte announced",
         "HTTP/1.1 407 Proxy Authentication Required\r\nContent-Length: 1099511627776\r\n\r\n",
         block, 0},
        {"one endless header line", "HTTP/1.1 200 OK\r\nX-A: ", block, 0},
        {"header lines without end", "HTTP/1.1 200 OK\r\n", QByteArray("X-A: b\r\n").repeated(4096),
         0},
        {"100 Continue without end", "", QByteArray("HTTP/1.1 100 Continue\r\n\r\n").repeated(1024),
         0},
        {"a byte a second", "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n", "x", 1000},
    };
}

// What the process holds in memory now.
inline qint64 resident_bytes() {
#ifdef Q_OS_WIN
    PROCESS_MEMORY_COUNTERS counters{};
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return static_cast<qint64>(counters.WorkingSetSize);
#else
    QFile statm("/proc/self/statm");
    statm.open(QIODevice::ReadOnly);
    return statm.readAll().split(' ').value(1).toLongLong() * sysconf(_SC_PAGESIZE);
#endif
}

}  // namespace halvark::testing
