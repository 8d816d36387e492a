#pragma once

#include <QLineEdit>

namespace halvark::ui::components {

// The sign-in form's field; its look comes from the style sheet's QLineEdit rules.
class AppLineEdit : public QLineEdit {
  public:
    explicit AppLineEdit(QWidget* parent = nullptr);
    ~AppLineEdit() override;
};

}  // namespace halvark::ui::components
