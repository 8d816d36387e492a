// Launch screen: disk caches, news pictures and the rounded avatar.
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QNetworkDiskCache>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPainter>
#include <QPainterPath>

#include "app/app_info.h"
#include "net/network_policy.h"
#include "storage/cache_folder.h"
#include "storage/data_folder.h"
#include "ui/components/app_button.h"
#include "ui/screens/launch_screen.h"
#include "ui/screens/pictures.h"

namespace halvark::ui::screens {

namespace {

constexpr QSize kPrimaryNewsSize(496, 170);
constexpr QSize kSideNewsSize(256, 64);
constexpr qreal kAvatarRadius = 6.5;

}  // namespace

void LaunchScreen::set_up_network() {
    const struct {
        QNetworkDiskCache** cache;
        const char* folder;
        qint64 max_size;
        QNetworkAccessManager* manager;
    } rows[] = {
        {&avatar_cache, "avatars", 100LL * 1024 * 1024, &avatar_network},
        {&news_image_cache, "news_images", 200LL * 1024 * 1024, &news_network},
        {&server_profile_cache, "server_profiles", 50LL * 1024 * 1024, &server_profiles_network},
    };
    const QString root = storage::cache_directory();
    QDir().mkpath(QFileInfo(root).path());
    for (const auto& row : rows) {
        const QString folder = root + QLatin1Char('/') + QLatin1String(row.folder);
        // Beyond the largest picture answer, only the cache's own headers can make an entry grow.
        if (!storage::prepare_cache_folder(root, QLatin1String(row.folder),
                                           net::kPictureReplyLimit + (1 << 20))) {
            qWarning("Picture cache %s is a link or no folder: its pictures are not kept on disk",
                     qPrintable(QDir::toNativeSeparators(folder)));
            continue;
        }
        *row.cache = new QNetworkDiskCache(this);
        (*row.cache)->setCacheDirectory(folder);
        (*row.cache)->setMaximumCacheSize(row.max_size);
        row.manager->setCache(*row.cache);
    }
}

void LaunchScreen::load_news_image(const QString& address, QLabel* label, bool primary) {
    if (label == nullptr) {
        return;
    }
    if (address.trimmed().isEmpty()) {
        label->clear();
        return;
    }
    QNetworkReply* reply = request_picture(news_network, address);
    if (reply == nullptr) {
        label->clear();
        return;
    }
    connect(reply, &QNetworkReply::finished, label, [reply, label, primary] {
        reply->deleteLater();
        // Decoded at the card's size in device pixels: sharp on a high-density screen.
        const qreal ratio = label->devicePixelRatioF();
        const QSize target = (primary ? kPrimaryNewsSize : kSideNewsSize) * ratio;
        const auto show = [label, target, ratio](const QImage& picture) {
            if (picture.isNull()) {
                label->clear();
                return;
            }
            QPixmap pixmap = QPixmap::fromImage(picture).scaled(
                target, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
            pixmap.setDevicePixelRatio(ratio);
            label->setPixmap(pixmap);
        };
        decode_picture_reply(label, reply, target, show);
    });
}

void LaunchScreen::set_avatar_uuid(const QString& uuid) {
    avatar_uuid = uuid.trimmed();
    load_avatar();
}

void LaunchScreen::show_default_avatar() {
    profile_button->setIcon(default_profile_icon);
    profile_button->setIconSize(QSize(18, 18));
}

void LaunchScreen::load_avatar() {
    if (avatar_uuid.isEmpty()) {
        show_default_avatar();
        return;
    }
    const QString requested = avatar_uuid;
    const bool fetching = fetch_latest_picture(
        this, avatar_network, app::avatar_url(requested),
        [this, requested] { return requested == avatar_uuid; },
        [this](const QImage& picture) { show_avatar(picture); });
    if (!fetching) {
        show_default_avatar();
    }
}

void LaunchScreen::show_avatar(const QImage& picture) {
    if (picture.isNull()) {
        show_default_avatar();
        return;
    }
    const qreal ratio = profile_button->devicePixelRatioF();
    const int side = qRound(kAvatarSide * ratio);
    QImage scaled =
        picture.scaled(side, side, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
    scaled.setDevicePixelRatio(ratio);
    // Drawn in device pixels; the painter works in the icon's own 26-pixel units.
    QPixmap canvas(side, side);
    canvas.setDevicePixelRatio(ratio);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath clip;
    clip.addRoundedRect(QRectF(0, 0, kAvatarSide, kAvatarSide), kAvatarRadius, kAvatarRadius,
                        Qt::AbsoluteSize);
    painter.setClipPath(clip);
    // Anchored at the top-left: a wide picture shows its left part, a tall one its top.
    painter.drawImage(QPointF(0, 0), scaled);
    painter.end();
    profile_button->setIcon(QIcon(canvas));
    profile_button->setIconSize(QSize(kAvatarSide, kAvatarSide));
}

}  // namespace halvark::ui::screens
