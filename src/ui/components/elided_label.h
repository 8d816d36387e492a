#pragma once

#include <QLabel>

namespace halvark::ui::components {

// A one-line plain-text label for service texts of any length: what does not fit ends in
// "…" (the whole text in the tooltip), and the text never widens the layout it sits in.
// text() stays the whole text.
class ElidedLabel : public QLabel {
  public:
    explicit ElidedLabel(QWidget* parent = nullptr);
    ~ElidedLabel() override;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
};

}  // namespace halvark::ui::components
