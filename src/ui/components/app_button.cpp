#include "ui/components/app_button.h"

namespace halvark::ui::components {

AppButton::AppButton(const QString& text, int role, QWidget* parent) : QPushButton(text, parent) {
    setProperty("role", role == 0 ? "primary" : "secondary");
}

AppButton::~AppButton() = default;

}  // namespace halvark::ui::components
