#pragma once

#include <QIconEngine>
#include <QString>

namespace halvark::ui {

// An icon for a large PNG that decodes it only when a pixmap is asked for, straight at the
// asked size, and without probing every image plugin to learn the format.
class PngIconEngine : public QIconEngine {
  public:
    explicit PngIconEngine(QString path);

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override;
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QIconEngine* clone() const override;

  private:
    QString path_;
};

}  // namespace halvark::ui
