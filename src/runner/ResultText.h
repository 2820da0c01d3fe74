#pragma once

#include <QString>

namespace tarvik {

// Words for a zip engine result code; `phrase` names the operation
// ("creating zip file", "extracting files in zip file"). Empty for 0 and below.
QString ResultText(int code, const QString& phrase);

} // namespace tarvik
