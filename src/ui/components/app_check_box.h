#pragma once

#include <QCheckBox>

namespace halvark::ui::components {

// A check box whose mark is drawn by the box itself: a style sheet's `image` goes through an
// icon that loads every image plugin to learn the file's format, which the sign-in page's
// first frame cannot afford. The style sheet still draws the box.
class AppCheckBox : public QCheckBox {
  public:
    using QCheckBox::QCheckBox;

  protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace halvark::ui::components
