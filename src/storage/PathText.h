#pragma once

#include <QString>
#include <QStringView>
#include <optional>

namespace tarvik {

// The platform's path separator as Tarvik writes it.
#ifdef Q_OS_WIN
inline constexpr QChar kPathSeparator = u'\\';
#else
inline constexpr QChar kPathSeparator = u'/';
#endif

// folder + separator + name; no second separator when the folder already ends
// with one. An empty folder stands for the root ("" + "a" gives "/a").
QString JoinPath(const QString& folder, const QString& name);

// Removes one trailing separator: "/data/" gives "/data", the root "/" gives
// the empty text (which JoinPath reads as the root again).
QString StripTrailingSeparator(const QString& folder);

// The text before the last separator of the path ("/data/a.zip" gives "/data").
QString FolderOfPath(const QString& path);

// The first character a plain file name (one name inside a folder) cannot
// hold: a separator ("/", or "\" which Windows reads as one) or a NUL; also
// "." for the names "." and "..", which name folders.
std::optional<QChar> FirstUnusableNameCharacter(QStringView name);

// The text before its first NUL character, or the whole text.
QString TrimAtNul(const QString& text);

} // namespace tarvik

namespace tarvik {

// The path cut before its last ".zip", found without regard to letter case
// ("/b/Data.ZIP" gives "/b/Data"); a path without ".zip" comes back whole.
QString WithoutZipEnding(const QString& path);

} // namespace tarvik
