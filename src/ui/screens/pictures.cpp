#include "ui/screens/pictures.h"

#include <QBuffer>
#include <QImageReader>

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

QNetworkRequest picture_request(const QString& address) {
    QNetworkRequest request{QUrl(address, QUrl::TolerantMode)};
    request.setRawHeader("accept", "image/*");
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::PreferCache);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, true);
    return request;
}

}  // namespace halvark::ui::screens
