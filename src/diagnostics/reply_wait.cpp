#include "diagnostics/reply_wait.h"

#include <QEventLoop>
#include <QNetworkReply>
#include <QTimer>

namespace halvark::diagnostics {

void wait_for_reply(QNetworkReply* reply, int timeout_ms) {
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    timer.start(timeout_ms);
    if (!reply->isFinished()) {
        loop.exec();
    }
    if (reply->isRunning()) {
        reply->abort();
    }
}

}  // namespace halvark::diagnostics
