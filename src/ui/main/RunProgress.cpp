#include "ui/main/RunProgress.h"

#include <QProgressBar>

namespace tarvik {

void SetRunProgress(QProgressBar* bar, double percent) {
    bar->setProperty("percent", percent);
    bar->setValue(qRound(percent * 10));
    bar->setTextVisible(false);
    bar->setFormat(QString());
}

void AdvanceRunProgress(QProgressBar* bar, double percent, const QString& file) {
    if (percent > bar->property("percent").toDouble()) {
        bar->setProperty("percent", percent);
        bar->setValue(qRound(percent * 10));
    }
    const int room = bar->contentsRect().width() - 2 * bar->fontMetrics().averageCharWidth();
    QString shown = bar->fontMetrics().elidedText(file, Qt::ElideMiddle, std::max(room, 0));
    // The bar reads "%p", "%v" and "%m" in its format as numbers.
    bar->setFormat(shown.replace(u'%', QStringLiteral("%%")));
    bar->setTextVisible(!file.isEmpty());
}

} // namespace tarvik
