#include "platform/TextViewer.h"

#include <QDesktopServices>
#include <QUrl>

namespace tarvik {

TextViewer::~TextViewer() = default;

void DesktopTextViewer::open(const QString& path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

} // namespace tarvik
