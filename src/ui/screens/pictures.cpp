#include "ui/screens/pictures.h"

#include <QBuffer>
#include <QFutureWatcher>
#include <QImageReader>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QtConcurrent>
#include <QtEndian>

#include "api/launch_lists.h"
#include "net/bounded_network.h"
#include "net/network_policy.h"

namespace halvark::ui::screens {

namespace {

constexpr qint64 kWholeReadPixels = 2LL * 1024 * 1024;  // a 1080p picture, 8 MiB decoded

// The formats pictures come in on the web; the other decoders Qt carries are left out of reach.
bool is_web_picture_format(const QByteArray& format) {
    return format == "png" || format == "jpeg" || format == "gif" || format == "webp";
}

// libpng allocates what a chunk's header claims before it finds the file too short for it:
// a 1 KiB file could claim 2 GB.
bool png_chunks_fit(const QByteArray& data) {
    constexpr qsizetype kSignature = 8;
    constexpr qsizetype kHeader = 8;    // length and type
    constexpr qsizetype kFraming = 12;  // header and checksum
    for (qsizetype at = kSignature; at + kHeader <= data.size();) {
        const qint64 length = qFromBigEndian<quint32>(data.constData() + at);
        if (length > data.size() - at - kFraming) {
            return false;
        }
        if (QByteArrayView(data.constData() + at + 4, 4) == "IEND") {
            break;
        }
        at += kFraming + length;
    }
    return true;
}

}  // namespace

QImage decode_bounded_image(const QByteArray& data, QSize target) {
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAllocationLimit(kImageAllocationLimitMb);
    const QByteArray format = reader.format();
    const bool png = format == "png";
    if (!is_web_picture_format(format) || (png && !png_chunks_fit(data))) {
        return {};
    }
    const QSize size = reader.size();
    if (size.isValid() && static_cast<qint64>(size.width()) * size.height() > kMaxImagePixels) {
        return {};
    }
    reader.setAutoTransform(true);
    // Qt's scaled PNG read costs twice a whole read plus a smooth scale, for the same pixels;
    // a large PNG still reads scaled, row by row, so that it never sits whole in memory.
    const bool read_whole = png && size.isValid() &&
                            static_cast<qint64>(size.width()) * size.height() <= kWholeReadPixels;
    if (target.isValid() && !read_whole) {
        reader.setScaledSize(target);
    }
    QImage image = reader.read();
    if (target.isValid() && !image.isNull() && image.size() != target) {
        return image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    return image;
}

void decode_bounded_image_later(QObject* receiver, const QByteArray& data, QSize target,
                                std::function<void(const QImage&)> done) {
    // Owned by the receiver: if it goes first, the result is dropped with the watcher.
    auto* watcher = new QFutureWatcher<QImage>(receiver);
    QObject::connect(watcher, &QFutureWatcher<QImage>::finished, receiver,
                     [watcher, done = std::move(done)] {
                         watcher->deleteLater();
                         done(watcher->result());
                     });
    watcher->setFuture(QtConcurrent::run(decode_bounded_image, data, target));
}

void decode_picture_reply(QObject* receiver, QNetworkReply* reply, QSize target,
                          std::function<void(const QImage&)> done) {
    const auto body = net::read_reply_body(reply);
    if (reply->error() != QNetworkReply::NoError || !body) {
        done(QImage());
        return;
    }
    decode_bounded_image_later(receiver, *body, target, std::move(done));
}

QNetworkReply* request_picture(QNetworkAccessManager& network, const QString& address) {
    const auto request = api::picture_request(address);
    return request ? network.get(*request) : nullptr;
}

bool fetch_latest_picture(QObject* receiver, QNetworkAccessManager& network, const QString& address,
                          const std::function<bool()>& still_wanted,
                          const std::function<void(const QImage&)>& show) {
    QNetworkReply* reply = request_picture(network, address);
    if (reply == nullptr) {
        return false;
    }
    QObject::connect(reply, &QNetworkReply::finished, receiver, [=] {
        reply->deleteLater();
        if (!still_wanted()) {
            return;
        }
        decode_picture_reply(receiver, reply, QSize(), [=](const QImage& picture) {
            if (still_wanted()) {
                show(picture);
            }
        });
    });
    return true;
}

}  // namespace halvark::ui::screens
