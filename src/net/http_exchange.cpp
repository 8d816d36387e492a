#include "net/http_exchange.h"

#include <QCoreApplication>
#include <QCursor>
#include <QEventLoop>
#include <QGuiApplication>
#include <memory>

#include "net/http_client.h"

namespace halvark::net {

HttpAnswer exchange(HttpRequest request, int timeout_ms, qint64 max_body_bytes) {
    const bool has_cursor = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (has_cursor) {
        QGuiApplication::setOverrideCursor(QCursor(Qt::BusyCursor));
    }
    TransferRequest transfer_request{std::move(request.method),
                                     std::move(request.url),
                                     std::move(request.headers),
                                     std::move(request.body),
                                     max_body_bytes,
                                     timeout_ms,
                                     true};
    const std::unique_ptr<HttpTransfer> transfer(
        HttpClient::instance().start(std::move(transfer_request)));
    QEventLoop loop;
    QObject::connect(transfer.get(), &HttpTransfer::finished, &loop, &QEventLoop::quit);
    loop.exec();
    if (has_cursor) {
        QGuiApplication::restoreOverrideCursor();
    }
    const TransferResult& result = transfer->result();
    return HttpAnswer{result.status, result.body, result.error_text, result.too_large};
}

}  // namespace halvark::net
