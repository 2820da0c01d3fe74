#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace tarvik::zipio {

// The member name as a path: backslashes read as separators, a trailing
// separator (folder members) dropped.
QString NormalizedMemberName(const QString& name);

// The folder steps of a member name below the extraction folder, or nothing
// when the name must never be written: an absolute path, a drive letter
// ("C:..."), or a ".." step, whether written with '/' or '\'. Empty and "."
// steps are dropped, so "./a//b" gives {"a", "b"}; a name of only such steps
// gives an empty list.
std::optional<QStringList> SafeMemberPath(const QString& name);

} // namespace tarvik::zipio
