#include "artwork.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace halvark::service {

namespace {

struct Palette {
    QColor sky_top;
    QColor sky_bottom;
    QColor sun;
    QColor far;
    QColor near;
};

const Palette kPalettes[] = {
    {"#1b2a6b", "#f28c5a", "#ffd27a", "#3b3f7a", "#1a1d3f"},
    {"#0e3b43", "#7cc4b5", "#f6f1c7", "#245a5c", "#0f2e31"},
    {"#2b1245", "#c04e86", "#ffb3c7", "#4c2367", "#220c33"},
    {"#0c1d36", "#3f7fd6", "#dbe9ff", "#1f3f70", "#0a1629"},
};

QByteArray png_bytes(const QImage& image, const char* format = "PNG") {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// A ridge line across the picture, seeded so each picture keeps its own shape.
QPainterPath ridge(const QSizeF& size, double base, double height, int seed) {
    QPainterPath path(QPointF(0, size.height()));
    const int points = 9;
    for (int i = 0; i <= points; ++i) {
        const double x = size.width() * i / points;
        const double wave = ((seed * 7919 + i * 104729) % 100) / 100.0;
        path.lineTo(x, size.height() * base - height * size.height() * wave);
    }
    path.lineTo(size.width(), size.height());
    path.closeSubpath();
    return path;
}

QImage landscape(QSize size, int seed) {
    const Palette& palette = kPalettes[seed % 4];
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, size.height());
    sky.setColorAt(0, palette.sky_top);
    sky.setColorAt(1, palette.sky_bottom);
    painter.fillRect(image.rect(), sky);
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette.sun);
    const double radius = size.height() * 0.18;
    painter.drawEllipse(
        QPointF(size.width() * (0.25 + 0.5 * ((seed * 37) % 10) / 10.0), size.height() * 0.42),
        radius, radius);
    painter.setBrush(palette.far);
    painter.drawPath(ridge(size, 0.78, 0.35, seed + 1));
    painter.setBrush(palette.near);
    painter.drawPath(ridge(size, 0.95, 0.25, seed + 5));
    return image;
}

}  // namespace

QByteArray news_picture(int id, QSize size, const char* format) {
    return png_bytes(landscape(size, id), format);
}

QByteArray profile_background(int id) {
    return png_bytes(landscape(QSize(1200, 220), id + 2));
}

QByteArray avatar_picture(const QString& uuid) {
    // An 8x8 mirrored pattern from the uuid's hash, like a small crest.
    const QByteArray hash = QCryptographicHash::hash(uuid.toUtf8(), QCryptographicHash::Sha256);
    const QColor background = QColor::fromHsv(static_cast<quint8>(hash[0]) * 360 / 256, 90, 60);
    const QColor ink = QColor::fromHsv(static_cast<quint8>(hash[1]) * 360 / 256, 160, 240);
    QImage image(64, 64, QImage::Format_RGB32);
    image.fill(background);
    QPainter painter(&image);
    for (int row = 0; row < 8; ++row) {
        for (int column = 0; column < 4; ++column) {
            if ((static_cast<quint8>(hash[2 + row]) >> column) & 1) {
                painter.fillRect(column * 8, row * 8, 8, 8, ink);
                painter.fillRect((7 - column) * 8, row * 8, 8, 8, ink);
            }
        }
    }
    return png_bytes(image);
}

}  // namespace halvark::service
