#include "nickname.h"

namespace halvark::service {

QString canonical_nickname(const QString& nickname) {
    return nickname.normalized(QString::NormalizationForm_KC).toCaseFolded().trimmed();
}

}  // namespace halvark::service
