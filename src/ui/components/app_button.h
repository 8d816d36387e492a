#pragma once

#include <QPushButton>

namespace halvark::ui::components {

// A push button drawn by the style sheet as primary (0) or secondary (any other role).
class AppButton : public QPushButton {
  public:
    AppButton(const QString& text, int role, QWidget* parent = nullptr);
    ~AppButton() override;
};

// Says what an icon-only button does, as its tooltip and to screen readers.
void describe_icon_button(QAbstractButton* button, const QString& text);

}  // namespace halvark::ui::components
