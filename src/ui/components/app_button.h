#pragma once

#include <QPushButton>

namespace halvark::ui::components {

// A push button drawn by the style sheet as primary (0) or secondary (any other role).
class AppButton : public QPushButton {
  public:
    AppButton(const QString& text, int role, QWidget* parent = nullptr);
    ~AppButton() override;
};

// The icon-only back button of the profile and settings screens.
AppButton* make_back_button(QWidget* parent);

}  // namespace halvark::ui::components
