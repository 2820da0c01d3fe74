#pragma once

class QComboBox;
class QListWidget;

namespace tarvik {

// Gives a list of paths or addresses a horizontal scroll range that reaches
// its widest entry (measured in the list's font) plus 25 pixels; the scroll
// bar shows only when that is wider than the list. Returns the range.
int FitListScrollWidth(QListWidget* list);

// Widens a combo box's drop-down to its widest entry (in the combo box's
// font) plus 25 pixels, at least 35; never narrower than the combo box.
// Returns the width asked for.
int FitComboDropWidth(QComboBox* combo);

} // namespace tarvik
