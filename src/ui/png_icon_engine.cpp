#include "ui/png_icon_engine.h"

#include <QImageReader>
#include <QPainter>
#include <QPixmap>

namespace halvark::ui {

namespace {

constexpr int kSmallMasterSize = 256;

}  // namespace

QPixmap png_rendition(const QString& one_x, const QString& two_x, qreal device_pixel_ratio) {
    const bool high_density = device_pixel_ratio > 1.0;
    QImageReader reader(high_density ? two_x : one_x, "png");
    reader.setAutoDetectImageFormat(false);
    QPixmap pixmap = QPixmap::fromImage(reader.read());
    pixmap.setDevicePixelRatio(high_density ? 2.0 : 1.0);
    return pixmap;
}

PngIconEngine::PngIconEngine(QString path) : path_(std::move(path)) {}

QImage PngIconEngine::decode(const QSize& size) const {
    QImageReader reader(path_, "png");
    reader.setAutoDetectImageFormat(false);  // loading every image plugin costs ~25 ms
    reader.setScaledSize(size);
    return reader.read();
}

QPixmap PngIconEngine::pixmap(const QSize& size, QIcon::Mode, QIcon::State) {
    if (size.isEmpty()) {
        return {};
    }
    if (size.width() > kSmallMasterSize || size.height() > kSmallMasterSize) {
        return QPixmap::fromImage(decode(size));
    }
    if (small_master_.isNull()) {
        small_master_ = decode(QSize(kSmallMasterSize, kSmallMasterSize));
    }
    return QPixmap::fromImage(
        small_master_.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}

void PngIconEngine::paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
                          QIcon::State state) {
    painter->drawPixmap(rect, pixmap(rect.size(), mode, state));
}

QSize PngIconEngine::actualSize(const QSize& size, QIcon::Mode, QIcon::State) {
    return size;  // the icon is square and large: it scales to any size asked for
}

QIconEngine* PngIconEngine::clone() const {
    auto* copy = new PngIconEngine(path_);
    copy->small_master_ = small_master_;
    return copy;
}

}  // namespace halvark::ui
