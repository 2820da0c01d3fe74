#pragma once

#include <QString>
#include <optional>

namespace tarvik {

// The key text every caller uses for stored archive passwords.
inline constexpr QStringView kPasswordKey = u"quillbax";

// A position-dependent shift of each character: keeps a stored password from
// being read at a glance, nothing more. Any character can be scrambled (the
// files are UTF-8); passwords of characters 0-255 scramble exactly as they
// always did. Returns nothing when the scrambled text would hold a line
// break or a NUL, which no stored value can, so callers can refuse the
// password instead of storing a text that does not unscramble to it.
std::optional<QString> Scramble(QStringView text, QStringView key = kPasswordKey);

// The inverse of Scramble.
QString Unscramble(QStringView scrambled, QStringView key = kPasswordKey);

} // namespace tarvik
