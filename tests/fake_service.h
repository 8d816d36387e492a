#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace httplib {
class Server;
}

namespace halvark::testing {

struct RecordedRequest {
    QString method;
    QString path;                    // without the query
    QString target;                  // path and query as sent
    QMap<QString, QString> headers;  // names in lower case
    QByteArray body;
};

struct Reply {
    int status = 200;
    QByteArray body;
    QString content_type = QStringLiteral("application/json");
    QMap<QString, QString> headers = {};
    bool endless = false;  // the body again and again, until the client hangs up
};

// An HTTP service on a loopback address (127.0.0.2 stands for another host), ephemeral port,
// on its own thread: handlers per method and path, a request log, and requests that are
// never answered (for time-outs).
class FakeService {
  public:
    using Handler = std::function<Reply(const RecordedRequest&)>;

    explicit FakeService(const char* host = "127.0.0.1");
    ~FakeService();
    FakeService(const FakeService&) = delete;
    FakeService& operator=(const FakeService&) = delete;

    QString base_url() const { return QStringLiteral("http://%1:%2").arg(host_).arg(port_); }
    QString url(const QString& path) const { return base_url() + path; }

    void on(const QString& method, const QString& path, Handler handler);
    void on_any(Handler handler);  // for every request without a handler of its own
    void reply(const QString& method, const QString& path, const Reply& reply) {
        on(method, path, [reply](const RecordedRequest&) { return reply; });
    }
    void never_answer(const QString& method, const QString& path);

    QList<RecordedRequest> requests() const;
    QList<RecordedRequest> requests_to(const QString& method, const QString& path) const;

  private:
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    QString host_;
    int port_ = 0;
    mutable std::mutex mutex_;
    std::condition_variable released_cv_;
    bool released_ = false;
    std::map<std::pair<QString, QString>, Handler> handlers_;
    Handler fallback_;
    QList<RecordedRequest> log_;
};

}  // namespace halvark::testing
