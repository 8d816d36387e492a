#pragma once

#include <QIconEngine>
#include <QImage>
#include <QPixmap>
#include <QString>

namespace halvark::ui {

// One of two PNG renditions made at build time, `one_x` or `two_x` by `device_pixel_ratio`,
// read as PNG without asking every image plugin whether it knows the file (that costs ~25 ms).
QPixmap png_rendition(const QString& one_x, const QString& two_x, qreal device_pixel_ratio);

// An icon for a large PNG that decodes it only when a pixmap is asked for, and only once for
// all the small sizes a desktop asks for together (X11 wants four before the first frame).
class PngIconEngine : public QIconEngine {
  public:
    explicit PngIconEngine(QString path);

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override;
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QIconEngine* clone() const override;

  private:
    QImage decode(const QSize& size) const;

    QString path_;
    QImage small_master_;  // decoded at the largest common icon size; smaller ones scale it
};

}  // namespace halvark::ui
