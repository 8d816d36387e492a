#include "net/reply_wait.h"

#include <QCursor>
#include <QEventLoop>
#include <QGuiApplication>
#include <QNetworkReply>
#include <QTimer>

namespace halvark::net {

void wait_for_reply(QNetworkReply* reply, int timeout_ms) {
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    // A coarse timer may fire up to 5% early; the time-outs are promises to the caller.
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    timer.start(timeout_ms);
    if (!reply->isFinished()) {
        // The window stays responsive meanwhile; the cursor says that something is under way.
        const bool has_cursor = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
        if (has_cursor) {
            QGuiApplication::setOverrideCursor(QCursor(Qt::BusyCursor));
        }
        loop.exec();
        if (has_cursor) {
            QGuiApplication::restoreOverrideCursor();
        }
    }
    if (reply->isRunning()) {
        reply->abort();
    }
}

}  // namespace halvark::net
