#pragma once

#include <QString>
#include <QStringList>

class QListWidget;
class QListWidgetItem;
class QWidget;

namespace tarvik {

class DialogService;

// The list commands the editors share (file specs, directories, e-mail
// addresses). Each keeps the list's scroll range fitted to its widest line;
// a refused line is left to the caller to report in its window's way.

// What an editor says when a line is refused: another line holds it.
inline constexpr char16_t kItemExists[] = u"Item already exists.";

// The first row whose text equals `text` without regard to letter case, or -1.
int FindRowIgnoringCase(const QListWidget* list, const QString& text);

// The row to return to after a list command: the current one, or the first.
int RememberedRow(const QListWidget* list);

// Every line's text, in list order.
QStringList RowTexts(const QListWidget* list);

// Adds `text` as the last line unless a line holds it in any letter case; the
// current line stays (the first when there was none). The new line, or
// nullptr for a duplicate.
QListWidgetItem* AddUniqueRow(QListWidget* list, const QString& text);

// AddUniqueRow for each text, in order (dropped files): how many lines were
// added and how many were refused as duplicates. Lines of a checkable list
// come unchecked.
struct AddedRows {
    int added = 0;
    int duplicates = 0;
};
AddedRows AddUniqueRows(QListWidget* list, const QStringList& texts, bool checkable);

enum class RowEdit { Unchanged, Changed, Duplicate };

// Asks for the current line's new text in an input box that starts with the
// old one. A new text replaces the old in place unless another line holds it
// in any letter case; a change of letter case alone is always taken. An empty
// or cancelled answer, or the same text, changes nothing.
RowEdit EditCurrentRow(DialogService& dialogs, QWidget* owner, QListWidget* list,
                       const QString& prompt, const QString& title);

// After "Are you sure you want to delete the selected item?" is answered Yes,
// removes the current line; the first line becomes current. True when removed.
bool DeleteCurrentRow(DialogService& dialogs, QWidget* owner, QListWidget* list);

// After "Are you sure you want to delete all the items?" is answered Yes,
// empties the list. True when emptied.
bool DeleteAllRows(DialogService& dialogs, QWidget* owner, QListWidget* list);

} // namespace tarvik
