#include "platform/TextViewer.h"

#include <QDesktopServices>
#include <QUrl>

namespace tarvik {

TextViewer::~TextViewer() = default;

bool DesktopTextViewer::open(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

} // namespace tarvik
