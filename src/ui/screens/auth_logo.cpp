#include "ui/screens/auth_logo.h"

#include <QImage>
#include <QResource>
#include <QtEndian>

namespace halvark::ui::screens {

namespace {

// The build's raw rendition (tools/renditions.cpp): two little-endian 32-bit sides, then
// premultiplied ARGB32 rows, stored uncompressed and shown straight from the resource.
QImage raw_rendition(const QString& path) {
    const QResource resource(path);
    constexpr qint64 kHeader = 8;
    if (!resource.isValid() || resource.compressionAlgorithm() != QResource::NoCompression ||
        resource.size() < kHeader) {
        return {};
    }
    const uchar* bytes = resource.data();
    const quint32 width = qFromLittleEndian<quint32>(bytes);
    const quint32 height = qFromLittleEndian<quint32>(bytes + 4);
    if (width == 0 || width > 4096 || height > 4096 ||
        resource.size() != kHeader + qint64(width) * height * 4) {
        return {};
    }
    return QImage(bytes + kHeader, int(width), int(height), int(width * 4),
                  QImage::Format_ARGB32_Premultiplied);
}

}  // namespace

QPixmap sign_in_logo(qreal device_pixel_ratio) {
    const bool high_density = device_pixel_ratio > 1.0;
    QPixmap pixmap = QPixmap::fromImage(
        raw_rendition(high_density ? QStringLiteral(":/assets/png/logo-320.argb")
                                   : QStringLiteral(":/assets/png/logo-160.argb")));
    pixmap.setDevicePixelRatio(high_density ? 2.0 : 1.0);
    return pixmap;
}

}  // namespace halvark::ui::screens
