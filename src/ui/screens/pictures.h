#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

namespace halvark::ui::screens {

// Pictures come from the network: a hostile header must not make us allocate gigabytes.
constexpr qint64 kMaxImagePixels = 64LL * 1000 * 1000;
// At four bytes a pixel, so that a header which understates the size (a GIF's first frame
// smaller than its screen) still cannot get a picture past kMaxImagePixels allocated.
constexpr int kImageAllocationLimitMb = static_cast<int>(kMaxImagePixels * 4 / (1LL << 20));

// Decodes `data` (format detected from the bytes), at `target` size when it is valid,
// applying the picture's stored orientation. A null image when the data is not a
// picture or claims more than kMaxImagePixels.
QImage decode_bounded_image(const QByteArray& data, QSize target = QSize());

// decode_bounded_image on a worker thread, so that a big picture never freezes the window;
// `done` then gets the result on `receiver`'s thread, or is never called once `receiver` is gone.
void decode_bounded_image_later(QObject* receiver, const QByteArray& data, QSize target,
                                std::function<void(const QImage&)> done);

// The picture in a finished `reply`, decoded as decode_bounded_image_later does; `done` gets a
// null image at once when the reply failed or its answer was too large.
void decode_picture_reply(QObject* receiver, QNetworkReply* reply, QSize target,
                          std::function<void(const QImage&)> done);

// A GET for a picture that prefers the disk cache and may be stored in it, bounded in size.
// Only http(s) addresses are fetched: for any other, one warning line and no reply.
QNetworkReply* request_picture(QNetworkAccessManager& network, const QString& address);

// Fetches and decodes the picture at `address` for a place that shows one picture at a time:
// `show` gets it (a null image on failure) unless `still_wanted` says by then that a newer
// address replaced it. False, with nothing requested, for an address that is not http(s).
bool fetch_latest_picture(QObject* receiver, QNetworkAccessManager& network, const QString& address,
                          const std::function<bool()>& still_wanted,
                          const std::function<void(const QImage&)>& show);

}  // namespace halvark::ui::screens
