#pragma once

#include <QString>

namespace halvark::ui {

// The first non-empty "nickname", "username", "preferred_username" or "name" claim of the
// token's payload. The token is not validated: this is only a name to show.
QString display_name_from_token(const QString& access_token);

}  // namespace halvark::ui
