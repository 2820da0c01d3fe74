#include "storage/Wildcard.h"

#include <QList>
#include <QString>

namespace tarvik {

namespace {

// Greedy match with one backtracking point: on a mismatch the last '*' takes
// one more character. Enough for '*' and '?' and never exponential.
bool MatchCodePoints(const QList<uint>& pattern, const QList<uint>& name) {
    qsizetype p = 0;
    qsizetype n = 0;
    qsizetype starAt = -1;
    qsizetype starName = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            starAt = p++;
            starName = n;
        } else if (p < pattern.size() && (pattern[p] == u'?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (starAt >= 0) {
            p = starAt + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

} // namespace

bool HasWildcards(QStringView text) {
    return text.contains(u'*') || text.contains(u'?');
}

bool MatchWildcard(QStringView pattern, QStringView name, Qt::CaseSensitivity cs) {
    QString p = pattern.toString();
    QString n = name.toString();
    if (cs == Qt::CaseInsensitive) {
        p = p.toCaseFolded();
        n = n.toCaseFolded();
    }
    const QList<uint> nameCodes = n.toUcs4();
    if (MatchCodePoints(p.toUcs4(), nameCodes))
        return true;
    return p.endsWith(u".*") && !n.contains(u'.') &&
           MatchCodePoints(p.chopped(2).toUcs4(), nameCodes);
}

} // namespace tarvik
