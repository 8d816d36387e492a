#include "ui/screens/auth_logo.h"

#include <QImageReader>
#include <future>

namespace halvark::ui::screens {

namespace {

constexpr int kLogoWidth = 160;

// Decodes the large logo straight at the size it is shown.
QImage decode_logo() {
    // An explicit format without auto-detection spares loading every image plugin.
    QImageReader reader(QStringLiteral(":/assets/png/logo.png"), "png");
    reader.setAutoDetectImageFormat(false);
    const QSize full = reader.size();
    if (!full.isValid() || full.width() < 1) {
        return {};
    }
    reader.setScaledSize(
        full.scaled(kLogoWidth, full.height() * kLogoWidth / full.width(), Qt::KeepAspectRatio));
    reader.setQuality(100);
    return reader.read();
}

std::future<QImage>& pending_logo() {
    static std::future<QImage> pending;
    return pending;
}

}  // namespace

void start_logo_decoding() {
    if (!pending_logo().valid()) {
        pending_logo() = std::async(std::launch::async, decode_logo);
    }
}

bool logo_decoding_pending() {
    return pending_logo().valid();
}

QImage take_logo_image() {
    return pending_logo().valid() ? pending_logo().get() : decode_logo();
}

}  // namespace halvark::ui::screens
