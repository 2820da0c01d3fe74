#include "archive/SafePath.h"

namespace tarvik::zipio {

QString NormalizedMemberName(const QString& name) {
    QString path = name;
    path.replace(u'\\', u'/');
    while (path.endsWith(u'/'))
        path.chop(1);
    return path;
}

std::optional<QStringList> SafeMemberPath(const QString& name) {
    QString path = name;
    path.replace(u'\\', u'/');
    if (path.startsWith(u'/'))
        return std::nullopt;
    if (path.size() >= 2 && path[0].isLetter() && path[1] == u':')
        return std::nullopt;
    QStringList steps;
    for (const QString& step : path.split(u'/')) {
        if (step.isEmpty() || step == u".")
            continue;
        if (step == u"..")
            return std::nullopt;
        steps.append(step);
    }
    return steps;
}

} // namespace tarvik::zipio
