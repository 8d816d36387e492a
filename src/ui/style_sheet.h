#pragma once

#include <QString>

namespace halvark::ui {

// The launcher's one dark look, set on the main window.
QString app_style_sheet();

}  // namespace halvark::ui
