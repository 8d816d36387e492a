#pragma once

class QFormLayout;

namespace halvark::ui::components {

// Centres every label of `form` vertically on its field: by default a label sits at the top
// of a taller field's row.
void centre_form_labels(QFormLayout* form);

}  // namespace halvark::ui::components
