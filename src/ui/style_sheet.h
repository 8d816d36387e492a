#pragma once

#include <QString>

namespace halvark::ui {

// The launcher's one dark look, set on the main window.
QString app_style_sheet();
// Its rules for the sign-in page alone, in the same order: what the first frame needs parsed.
QString sign_in_style_sheet();

}  // namespace halvark::ui
