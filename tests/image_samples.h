#pragma once

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

inline quint32 crc32(const QByteArray& data) {
    quint32 crc = 0xFFFFFFFFu;
    for (const char byte : data) {
        crc ^= static_cast<quint8>(byte);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

// A valid small PNG whose header claims width x height pixels.
inline QByteArray png_claiming(quint32 width, quint32 height) {
    QByteArray png = two_colour_png(4, 4, Qt::red, Qt::blue);
    // Signature (8), IHDR length (4), "IHDR" (4), width (4), height (4), 5 more bytes, CRC (4).
    qToBigEndian(width, png.data() + 16);
    qToBigEndian(height, png.data() + 20);
    qToBigEndian(crc32(png.mid(12, 17)), png.data() + 29);
    return png;
}

}  // namespace halvark::testing
