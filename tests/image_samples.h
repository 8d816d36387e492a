#pragma once

#include <zlib.h>
#include <QBuffer>
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QtEndian>

namespace halvark::testing {

// A picture of the given size: left half `left`, right half `right`, or top/bottom halves.
inline QByteArray two_colour_png(int width, int height, QColor first, QColor second,
                                 bool split_vertically = true) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(second);
    QPainter painter(&image);
    painter.fillRect(
        split_vertically ? QRect(0, 0, width / 2, height) : QRect(0, 0, width, height / 2), first);
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// A valid small PNG whose header claims width x height pixels.
inline QByteArray png_claiming(quint32 width, quint32 height) {
    QByteArray png = two_colour_png(4, 4, Qt::red, Qt::blue);
    // Signature (8), IHDR length (4), "IHDR" (4), width (4), height (4), 5 more bytes, CRC (4).
    qToBigEndian(width, png.data() + 16);
    qToBigEndian(height, png.data() + 20);
    const auto* header = reinterpret_cast<const Bytef*>(png.constData() + 12);
    qToBigEndian(static_cast<quint32>(::crc32(0, header, 17)), png.data() + 29);
    return png;
}

}  // namespace halvark::testing
