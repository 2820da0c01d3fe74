#include "ui/editors/FileDrops.h"

#include "storage/PathText.h"

#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

namespace tarvik {
namespace {

QStringList localPaths(const QMimeData* data) {
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile())
            paths.append(StripTrailingSeparator(url.toLocalFile()));
    }
    return paths;
}

} // namespace

FileDrops::FileDrops(QWidget* target, Wanted wanted, Take take)
    : QObject(target), wanted_(std::move(wanted)), take_(std::move(take)) {
    target->setAcceptDrops(true);
    target->installEventFilter(this);
}

bool FileDrops::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
        return QObject::eventFilter(watched, event);
    auto* drop = static_cast<QDropEvent*>(event);
    QStringList paths = localPaths(drop->mimeData());
    paths.removeIf([this](const QString& path) { return !wanted_(path); });
    if (paths.isEmpty()) {
        drop->ignore();
        return true;
    }
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
    if (type == QEvent::Drop)
        take_(paths);
    return true;
}

QString FileSpecOfDropped(const QString& path) {
    return IsFolder(path) ? JoinPath(path, QStringLiteral("*.*")) : path;
}

bool IsFolder(const QString& path) {
    return QFileInfo(path).isDir();
}

bool IsZipFile(const QString& path) {
    return QFileInfo(path).isFile() && path.endsWith(QLatin1String(".zip"), Qt::CaseInsensitive);
}

} // namespace tarvik
