#pragma once

#include <QString>

namespace halvark::service {

// Longer nicknames are refused before anything is counted or derived.
constexpr qsizetype kMaxNicknameLength = 64;

// The one form of a nickname that both the account lookup and the sign-in counters key on:
// trimmed, compatibility-normalised and case-folded, so that "SASHA", "Saſha" and
// "Ｓasha" are all one name to both.
QString canonical_nickname(const QString& nickname);

}  // namespace halvark::service
