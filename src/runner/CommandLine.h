#pragma once

#include <QString>
#include <QStringList>

namespace tarvik {

enum class CommandMode {
    Interactive, // empty or "/p"
    All,         // "-a": every zip and unzip script
    AllZip,      // "-az"
    AllUnzip,    // "-au"
    Pattern,     // holds "*" or "?"
    List,        // comma-separated script file names
    Help,        // "--help"
    Version,     // "--version"
};

struct Command {
    CommandMode mode = CommandMode::Interactive;
    QString text; // the arguments joined with single blanks and trimmed, as typed
};

Command ParseCommandLine(const QStringList& arguments);

// The names of a comma list, as typed between the commas (blanks kept);
// empty segments are dropped.
QStringList SplitNameList(const QString& text);

} // namespace tarvik
