#include "platform/ListWidth.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFontMetrics>
#include <QListWidget>
#include <QScrollBar>

#include <algorithm>

namespace tarvik {

int FitListScrollWidth(QListWidget* list) {
    const QFontMetrics metrics(list->font());
    int widest = 0;
    for (int row = 0; row < list->count(); ++row)
        widest = std::max(widest, metrics.horizontalAdvance(list->item(row)->text()));
    const int extent = widest + 25;
    list->setProperty("horizontalExtent", extent);
    list->setHorizontalScrollBarPolicy(extent > list->viewport()->width() ? Qt::ScrollBarAsNeeded
                                                                          : Qt::ScrollBarAlwaysOff);
    return extent;
}

int FitComboDropWidth(QComboBox* combo) {
    const QFontMetrics metrics(combo->font());
    int widest = 10;
    for (int row = 0; row < combo->count(); ++row)
        widest = std::max(widest, metrics.horizontalAdvance(combo->itemText(row)));
    const int width = widest + 25;
    combo->view()->setMinimumWidth(std::max(width, combo->width()));
    return width;
}

} // namespace tarvik
