#include "ui/editors/ListRows.h"

#include "platform/WaitCursor.h"

#include <QListWidget>

namespace tarvik {

int FindRowIgnoringCase(const QListWidget* list, const QString& text) {
    const WaitCursor wait;
    for (int row = 0; row < list->count(); ++row) {
        if (list->item(row)->text().compare(text, Qt::CaseInsensitive) == 0)
            return row;
    }
    return -1;
}

int RememberedRow(const QListWidget* list) {
    return list->currentRow() < 0 ? 0 : list->currentRow();
}

} // namespace tarvik
