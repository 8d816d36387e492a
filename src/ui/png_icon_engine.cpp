#include "ui/png_icon_engine.h"

#include <QImageReader>
#include <QPainter>
#include <QPixmap>

namespace halvark::ui {

PngIconEngine::PngIconEngine(QString path) : path_(std::move(path)) {}

QPixmap PngIconEngine::pixmap(const QSize& size, QIcon::Mode, QIcon::State) {
    QImageReader reader(path_, "png");
    reader.setAutoDetectImageFormat(false);  // loading every image plugin costs ~25 ms
    reader.setScaledSize(size);
    return QPixmap::fromImage(reader.read());
}

void PngIconEngine::paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
                          QIcon::State state) {
    painter->drawPixmap(rect, pixmap(rect.size(), mode, state));
}

QSize PngIconEngine::actualSize(const QSize& size, QIcon::Mode, QIcon::State) {
    return size;  // the icon is square and large: it scales to any size asked for
}

QIconEngine* PngIconEngine::clone() const {
    return new PngIconEngine(path_);
}

}  // namespace halvark::ui
