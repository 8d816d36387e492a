#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>

namespace halvark::service {

// Pictures the local service draws itself, as PNG bytes.
QByteArray news_picture(int id, QSize size = QSize(992, 340), const char* format = "PNG");
QByteArray profile_background(int id);
QByteArray avatar_picture(const QString& uuid);

}  // namespace halvark::service
