#include "ui/components/app_check_box.h"

#include <QPainter>
#include <QStyleOptionButton>

#include "ui/png_icon_engine.h"

namespace halvark::ui::components {

void AppCheckBox::paintEvent(QPaintEvent* event) {
    QCheckBox::paintEvent(event);
    if (!isChecked()) {
        return;
    }
    QStyleOptionButton option;
    initStyleOption(&option);
    const QRect box = style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, this);
    const QPixmap mark =
        png_rendition(QStringLiteral(":/assets/png/icons/check-box.png"),
                      QStringLiteral(":/assets/png/icons/check-box@2x.png"), devicePixelRatioF());
    const QSizeF size = mark.deviceIndependentSize();
    QPainter painter(this);
    painter.drawPixmap(QPointF(box.x() + (box.width() - size.width()) / 2,
                               box.y() + (box.height() - size.height()) / 2),
                       mark);
}

}  // namespace halvark::ui::components
