#include "ui/screens/auth_logo.h"

#include "ui/png_icon_engine.h"

namespace halvark::ui::screens {

QPixmap sign_in_logo(qreal device_pixel_ratio) {
    return png_rendition(QStringLiteral(":/assets/png/logo-160.png"),
                         QStringLiteral(":/assets/png/logo-320.png"), device_pixel_ratio);
}

}  // namespace halvark::ui::screens
