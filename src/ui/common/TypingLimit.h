#pragma once

#include <QString>

class QLineEdit;

namespace tarvik {

// A box's maxLength (from its .ui file) limits what the user types. QLineEdit
// would also cut a longer text given to setText, and the window would then
// save the cut value back over the stored one. LimitTyping moves the limit
// into a validator that cuts typed and pasted text exactly as maxLength does,
// and SetWholeText shows a stored value whole, however long: typing can then
// shorten such a value but never lengthen it.
void LimitTyping(QLineEdit* box);

// Shows `text` whole in a box that went through LimitTyping (any other box
// simply gets the text).
void SetWholeText(QLineEdit* box, const QString& text);

} // namespace tarvik
