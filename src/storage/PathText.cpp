#include "storage/PathText.h"

namespace tarvik {

QString JoinPath(const QString& folder, const QString& name) {
    if (folder.endsWith(kPathSeparator))
        return folder + name;
    return folder + kPathSeparator + name;
}

QString StripTrailingSeparator(const QString& folder) {
    return folder.endsWith(kPathSeparator) ? folder.chopped(1) : folder;
}

QString FolderOfPath(const QString& path) {
    const qsizetype at = path.lastIndexOf(kPathSeparator);
    return at < 0 ? QString() : path.left(at);
}

std::optional<QChar> FirstUnusableNameCharacter(QStringView name) {
    for (QChar c : name) {
        if (c == u'/' || c == u'\\' || c == QChar(0))
            return c;
    }
    if (name == u"." || name == u"..")
        return QChar(u'.');
    return std::nullopt;
}

QString TrimAtNul(const QString& text) {
    const qsizetype at = text.indexOf(QChar(0));
    return at < 0 ? text : text.left(at);
}

} // namespace tarvik

namespace tarvik {

QString WithoutZipEnding(const QString& path) {
    const qsizetype at = path.lastIndexOf(QLatin1String(".zip"), -1, Qt::CaseInsensitive);
    return at < 0 ? path : path.left(at);
}

} // namespace tarvik
