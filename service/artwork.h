#pragma once

#include <QByteArray>
#include <QString>

namespace halvark::service {

// Pictures the local service draws itself, as PNG bytes.
QByteArray news_picture(int id);
QByteArray profile_background(int id);
QByteArray avatar_picture(const QString& uuid);

}  // namespace halvark::service
