#include "ui/screens/pictures.h"

#include <QBuffer>
#include <QFutureWatcher>
#include <QImageReader>
#include <QtConcurrent>

namespace halvark::ui::screens {

QImage decode_bounded_image(const QByteArray& data, QSize target) {
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAllocationLimit(kImageAllocationLimitMb);
    const QSize size = reader.size();
    if (size.isValid() && static_cast<qint64>(size.width()) * size.height() > kMaxImagePixels) {
        return {};
    }
    reader.setAutoTransform(true);
    if (target.isValid()) {
        reader.setScaledSize(target);
    }
    return reader.read();
}

void decode_bounded_image_later(QObject* receiver, const QByteArray& data, QSize target,
                                std::function<void(const QImage&)> done) {
    // Owned by the receiver: if it goes first, the result is dropped with the watcher.
    auto* watcher = new QFutureWatcher<QImage>(receiver);
    QObject::connect(watcher, &QFutureWatcher<QImage>::finished, receiver,
                     [watcher, done = std::move(done)] {
                         watcher->deleteLater();
                         done(watcher->result());
                     });
    watcher->setFuture(QtConcurrent::run(decode_bounded_image, data, target));
}

QNetworkRequest picture_request(const QString& address) {
    QNetworkRequest request{QUrl(address, QUrl::TolerantMode)};
    request.setRawHeader("accept", "image/*");
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::PreferCache);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, true);
    return request;
}

}  // namespace halvark::ui::screens
