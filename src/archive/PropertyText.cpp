#include "archive/PropertyText.h"

namespace tarvik::zipio {

QStringList SplitPatterns(const QString& text) {
    QStringList patterns;
    for (QString part : text.split(QChar(13))) {
        while (part.startsWith(QChar(10)))
            part.remove(0, 1);
        while (part.endsWith(QChar(10)))
            part.chop(1);
        if (!part.isEmpty())
            patterns.append(part);
    }
    return patterns;
}

std::optional<QDate> ParseEarliestDate(const QString& digits) {
    if (digits.size() != 8 && digits.size() != 6)
        return std::nullopt;
    for (QChar c : digits) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
    }
    const int month = digits.mid(0, 2).toInt();
    const int day = digits.mid(2, 2).toInt();
    int year = digits.mid(4).toInt();
    if (digits.size() == 6)
        year += 2000;
    const QDate date(year, month, day);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

std::optional<bool> ParseTrueFalse(const QString& text) {
    const QString word = text.trimmed();
    if (word.compare(u"true", Qt::CaseInsensitive) == 0)
        return true;
    if (word.compare(u"false", Qt::CaseInsensitive) == 0)
        return false;
    return std::nullopt;
}

} // namespace tarvik::zipio
