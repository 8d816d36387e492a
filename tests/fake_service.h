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
struct Request;
struct Response;
}  // namespace httplib

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
    // The body is sent again and again, as fast as the client takes it, until it hangs up.
    bool endless = false;
};

// An HTTP service on 127.0.0.1 (ephemeral port) running on its own thread, with handlers
// per method and path, a request log, and a mode that never answers (for time-outs).
class FakeService {
  public:
    using Handler = std::function<Reply(const RecordedRequest&)>;

    // `host` is a loopback address; a second one (127.0.0.2) stands for another host.
    explicit FakeService(const char* host = "127.0.0.1");
    ~FakeService();
    FakeService(const FakeService&) = delete;
    FakeService& operator=(const FakeService&) = delete;

    QString base_url() const;
    QString url(const QString& path) const { return base_url() + path; }

    void on(const QString& method, const QString& path, Handler handler);
    // Answers every request that has no handler of its own.
    void on_any(Handler handler);
    void reply(const QString& method, const QString& path, const Reply& reply);
    // Accepts the request and keeps it open until the service is destroyed.
    void never_answer(const QString& method, const QString& path);

    QList<RecordedRequest> requests() const;
    QList<RecordedRequest> requests_to(const QString& method, const QString& path) const;

  private:
    void dispatch(const httplib::Request& request, httplib::Response& response);

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
