#pragma once

#include <QStringView>

namespace tarvik {

// True when the text holds '*' or '?'.
bool HasWildcards(QStringView text);

// '*' matches any run of characters (separators included), '?' exactly one
// character (a code point, not a UTF-16 unit). A pattern ending in ".*" also
// matches names without a dot, so "*.*" matches every name. Runs in
// O(pattern * name) time whatever the input.
bool MatchWildcard(QStringView pattern, QStringView name, Qt::CaseSensitivity cs);

} // namespace tarvik
