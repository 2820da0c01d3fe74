#pragma once

#include <QString>
#include <optional>

namespace tarvik {

// The key text every caller uses for stored archive passwords.
inline constexpr QStringView kPasswordKey = u"quillbax";

// A position-dependent shift of single-byte character codes: keeps a stored
// password from being read at a glance, nothing more. Returns nothing when a
// character is outside 0-255 or its shifted code would leave that range, so
// callers can refuse the password instead of storing a text that does not
// unscramble to it.
std::optional<QString> Scramble(QStringView text, QStringView key = kPasswordKey);

// The inverse of Scramble. A character whose shifted code leaves 0-255 (a
// damaged stored value) contributes nothing.
QString Unscramble(QStringView scrambled, QStringView key = kPasswordKey);

} // namespace tarvik
