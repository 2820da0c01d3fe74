#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <optional>

namespace tarvik::zipio {

// The patterns of a "files to process" text: each ends with a CR; empty parts
// and stray line feeds at either end of a part are dropped.
QStringList SplitPatterns(const QString& text);

// "mmddyyyy", or "mmddyy" meaning 20yy; nothing for any other text or a day
// that does not exist.
std::optional<QDate> ParseEarliestDate(const QString& digits);

// "True" or "False" in any letter case, spaces around allowed.
std::optional<bool> ParseTrueFalse(const QString& text);

} // namespace tarvik::zipio
