#include "ui/components/app_button.h"

namespace halvark::ui::components {

AppButton::AppButton(const QString& text, int role, QWidget* parent) : QPushButton(text, parent) {
    setProperty("role", role == 0 ? "primary" : "secondary");
}

AppButton::~AppButton() = default;

void describe_icon_button(QAbstractButton* button, const QString& text) {
    button->setToolTip(text);
    button->setAccessibleName(text);
}

}  // namespace halvark::ui::components
