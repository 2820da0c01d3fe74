#pragma once

#include <QString>

class QListWidget;

namespace tarvik {

// The first row whose text equals `text` without regard to letter case, or -1.
int FindRowIgnoringCase(const QListWidget* list, const QString& text);

// The row to return to after a list command: the current one, or the first.
int RememberedRow(const QListWidget* list);

} // namespace tarvik
