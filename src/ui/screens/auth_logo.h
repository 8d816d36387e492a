#pragma once

#include <QImage>

namespace halvark::ui::screens {

// Starts decoding the sign-in logo on a worker thread, so that the second core does the work
// while the window is being built. Call once, from the GUI thread, after the application exists.
void start_logo_decoding();

// Whether a decoding started by start_logo_decoding() has not been taken yet.
bool logo_decoding_pending();

// The logo at the width it is shown: the result of an earlier start_logo_decoding(), or decoded
// now when none was started. A null image when the resource cannot be read.
QImage take_logo_image();

}  // namespace halvark::ui::screens
