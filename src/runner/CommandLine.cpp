#include "runner/CommandLine.h"

namespace tarvik {

Command ParseCommandLine(const QStringList& arguments) {
    Command c;
    c.text = arguments.join(u' ').trimmed();
    const QString lower = c.text.toLower();
    if (lower.isEmpty() || lower == u"/p")
        c.mode = CommandMode::Interactive;
    else if (lower == u"--help")
        c.mode = CommandMode::Help;
    else if (lower == u"--version")
        c.mode = CommandMode::Version;
    else if (lower == u"-a")
        c.mode = CommandMode::All;
    else if (lower == u"-az")
        c.mode = CommandMode::AllZip;
    else if (lower == u"-au")
        c.mode = CommandMode::AllUnzip;
    else if (lower.contains(u'*') || lower.contains(u'?'))
        c.mode = CommandMode::Pattern;
    else
        c.mode = CommandMode::List;
    return c;
}

QStringList SplitNameList(const QString& text) {
    QStringList names;
    QString name;
    for (QChar ch : text) {
        if (ch != u',') {
            name += ch;
            continue;
        }
        if (!name.isEmpty())
            names.append(name);
        name.clear();
    }
    if (!name.isEmpty())
        names.append(name);
    return names;
}

} // namespace tarvik
