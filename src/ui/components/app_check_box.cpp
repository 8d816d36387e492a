#include "ui/components/app_check_box.h"

#include <QImageReader>
#include <QPainter>
#include <QStyleOptionButton>

namespace halvark::ui::components {

namespace {

QPixmap check_mark(qreal device_pixel_ratio) {
    const bool high_density = device_pixel_ratio > 1.0;
    QImageReader reader(high_density ? QStringLiteral(":/assets/png/icons/check-box@2x.png")
                                     : QStringLiteral(":/assets/png/icons/check-box.png"),
                        "png");
    reader.setAutoDetectImageFormat(false);
    QPixmap mark = QPixmap::fromImage(reader.read());
    mark.setDevicePixelRatio(high_density ? 2.0 : 1.0);
    return mark;
}

}  // namespace

void AppCheckBox::paintEvent(QPaintEvent* event) {
    QCheckBox::paintEvent(event);
    if (!isChecked()) {
        return;
    }
    QStyleOptionButton option;
    initStyleOption(&option);
    const QRect box = style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, this);
    const QPixmap mark = check_mark(devicePixelRatioF());
    const QSizeF size = mark.deviceIndependentSize();
    QPainter painter(this);
    painter.drawPixmap(QPointF(box.x() + (box.width() - size.width()) / 2,
                               box.y() + (box.height() - size.height()) / 2),
                       mark);
}

}  // namespace halvark::ui::components
