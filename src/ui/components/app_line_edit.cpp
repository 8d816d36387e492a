#include "ui/components/app_line_edit.h"

namespace halvark::ui::components {

AppLineEdit::AppLineEdit(QWidget* parent) : QLineEdit(parent) {}

AppLineEdit::~AppLineEdit() = default;

}  // namespace halvark::ui::components
