#include "ui/editors/ListRows.h"

#include "platform/DialogService.h"
#include "platform/ListWidth.h"
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

QStringList RowTexts(const QListWidget* list) {
    QStringList texts;
    for (int row = 0; row < list->count(); ++row)
        texts.append(list->item(row)->text());
    return texts;
}

QListWidgetItem* AddUniqueRow(QListWidget* list, const QString& text) {
    const int remembered = RememberedRow(list);
    QListWidgetItem* added = nullptr;
    if (FindRowIgnoringCase(list, text) < 0) {
        added = new QListWidgetItem(text, list);
        FitListScrollWidth(list);
    }
    list->setCurrentRow(remembered);
    return added;
}

RowEdit EditCurrentRow(DialogService& dialogs, QWidget* owner, QListWidget* list,
                       const QString& prompt, const QString& title) {
    QListWidgetItem* item = list->currentItem();
    if (!item)
        return RowEdit::Unchanged;
    const QString old = item->text();
    const QString answer = dialogs.askText(owner, prompt, title, old).value_or(QString()).trimmed();
    if (answer.isEmpty() || answer == old)
        return RowEdit::Unchanged;
    const bool caseOnly = answer.compare(old, Qt::CaseInsensitive) == 0;
    if (!caseOnly && FindRowIgnoringCase(list, answer) >= 0)
        return RowEdit::Duplicate;
    item->setText(answer);
    FitListScrollWidth(list);
    return RowEdit::Changed;
}

bool DeleteCurrentRow(DialogService& dialogs, QWidget* owner, QListWidget* list) {
    const int row = list->currentRow();
    if (row < 0 || !dialogs.confirm(
                       owner, QStringLiteral("Are you sure you want to delete the selected item?")))
        return false;
    delete list->takeItem(row);
    if (list->count() > 0)
        list->setCurrentRow(0);
    FitListScrollWidth(list);
    return true;
}

bool DeleteAllRows(DialogService& dialogs, QWidget* owner, QListWidget* list) {
    if (!dialogs.confirm(owner, QStringLiteral("Are you sure you want to delete all the items?")))
        return false;
    list->clear();
    FitListScrollWidth(list);
    return true;
}

AddedRows AddUniqueRows(QListWidget* list, const QStringList& texts, bool checkable) {
    AddedRows rows;
    for (const QString& text : texts) {
        QListWidgetItem* item = AddUniqueRow(list, text);
        if (!item) {
            ++rows.duplicates;
            continue;
        }
        if (checkable) {
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(Qt::Unchecked);
        }
        ++rows.added;
    }
    return rows;
}

} // namespace tarvik
