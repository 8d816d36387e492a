#include "ui/screens/auth_logo.h"

#include <QImageReader>

namespace halvark::ui::screens {

QPixmap sign_in_logo(qreal device_pixel_ratio) {
    const bool high_density = device_pixel_ratio > 1.0;
    // An explicit format without auto-detection spares loading every image plugin.
    QImageReader reader(high_density ? QStringLiteral(":/assets/png/logo-320.png")
                                     : QStringLiteral(":/assets/png/logo-160.png"),
                        "png");
    reader.setAutoDetectImageFormat(false);
    QPixmap logo = QPixmap::fromImage(reader.read());
    logo.setDevicePixelRatio(high_density ? 2.0 : 1.0);
    return logo;
}

}  // namespace halvark::ui::screens
