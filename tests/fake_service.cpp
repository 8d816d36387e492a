#include "fake_service.h"

#include <httplib.h>

namespace halvark::testing {

FakeService::FakeService(const char* host)
    : server_(std::make_unique<httplib::Server>()), host_(QString::fromLatin1(host)) {
    server_->set_keep_alive_max_count(1);  // else stop() waits for kept-alive connections
    server_->set_keep_alive_timeout(1);
    const auto dispatch = [this](const httplib::Request& request, httplib::Response& response) {
        RecordedRequest recorded{QString::fromStdString(request.method),
                                 QString::fromStdString(request.path),
                                 QString::fromStdString(request.target),
                                 {},
                                 QByteArray::fromStdString(request.body)};
        for (const auto& [name, value] : request.headers) {
            recorded.headers.insert(QString::fromStdString(name).toLower(),
                                    QString::fromStdString(value));
        }
        Handler handler;
        {
            std::lock_guard lock(mutex_);
            log_.append(recorded);
            const auto it = handlers_.find({recorded.method, recorded.path});
            handler = it != handlers_.end() ? it->second : fallback_;
        }
        const Reply reply = handler ? handler(recorded) : Reply{404, R"({"detail":"not found"})"};
        response.status = reply.status;
        for (auto it = reply.headers.cbegin(); it != reply.headers.cend(); ++it) {
            response.set_header(it.key().toStdString(), it.value().toStdString());
        }
        if (!reply.endless) {
            response.set_content(reply.body.toStdString(), reply.content_type.toStdString());
            return;
        }
        response.set_chunked_content_provider(
            reply.content_type.toStdString(), [this, reply](size_t, httplib::DataSink& sink) {
                if (std::lock_guard lock(mutex_); released_) {
                    return false;
                }
                return sink.write(reply.body.constData(), reply.body.size());
            });
    };
    server_->Get(".*", dispatch);
    server_->Post(".*", dispatch);
    port_ = server_->bind_to_any_port(host);
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    while (!server_->is_running()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

FakeService::~FakeService() {
    {
        std::lock_guard lock(mutex_);
        released_ = true;
    }
    released_cv_.notify_all();
    server_->stop();
    thread_.join();
}

void FakeService::on(const QString& method, const QString& path, Handler handler) {
    std::lock_guard lock(mutex_);
    handlers_[{method, path}] = std::move(handler);
}

void FakeService::on_any(Handler handler) {
    std::lock_guard lock(mutex_);
    fallback_ = std::move(handler);
}

void FakeService::never_answer(const QString& method, const QString& path) {
    on(method, path, [this](const RecordedRequest&) {
        std::unique_lock lock(mutex_);
        released_cv_.wait_for(lock, std::chrono::seconds(60), [this] { return released_; });
        return Reply{503, QByteArray()};
    });
}

QList<RecordedRequest> FakeService::requests() const {
    std::lock_guard lock(mutex_);
    return log_;
}

QList<RecordedRequest> FakeService::requests_to(const QString& method, const QString& path) const {
    QList<RecordedRequest> matching = requests();
    matching.removeIf(
        [&](const RecordedRequest& r) { return r.method != method || r.path != path; });
    return matching;
}

}  // namespace halvark::testing
