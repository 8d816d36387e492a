#include "ui/screens/bounded_image.h"

#include <QBuffer>
#include <QImageReader>

namespace halvark::ui::screens {

QImage decode_bounded_image(const QByteArray& data, QSize target) {
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAllocationLimit(kImageAllocationLimitMb);
    const QSize size = reader.size();
    if (size.isValid() && static_cast<qint64>(size.width()) * size.height() > kMaxImagePixels) {
        return {};
    }
    reader.setAutoTransform(true);
    if (target.isValid()) {
        reader.setScaledSize(target);
    }
    return reader.read();
}

}  // namespace halvark::ui::screens
