#pragma once

#include <QPixmap>

namespace halvark::ui::screens {

// The sign-in logo, 160 logical pixels wide, sharp at `device_pixel_ratio`: one of the
// renditions made at build time from the large artwork. Null when it cannot be read.
QPixmap sign_in_logo(qreal device_pixel_ratio);

}  // namespace halvark::ui::screens
