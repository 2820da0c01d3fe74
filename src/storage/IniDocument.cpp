#include "storage/IniDocument.h"

#include <algorithm>

namespace tarvik {
namespace {

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

QString trimBlanks(QStringView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin).toString();
}

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool isQuoted(const QString& v) {
    return v.size() >= 2 && v.front() == u'"' && v.back() == u'"';
}

bool isUsableName(const QString& name) {
    if (name.isEmpty() || name != trimBlanks(name))
        return false;
    for (QChar c : name)
        if (c == u'\r' || c == u'\n' || c == QChar(0) || c == u'=' || c == u'[' || c == u']')
            return false;
    return name.front() != u';';
}

} // namespace

IniDocument::Line IniDocument::classify(const QString& text) {
    Line line{text, Kind::Other, {}};
    const QString t = trimBlanks(text);
    if (t.isEmpty() || t.front() == u';')
        return line;
    if (t.front() == u'[') {
        const qsizetype close = t.indexOf(u']');
        line.kind = Kind::Section;
        line.name = trimBlanks(QStringView(t).mid(1, close < 0 ? -1 : close - 1));
        return line;
    }
    const qsizetype eq = t.indexOf(u'=');
    if (eq > 0) {
        line.name = trimBlanks(QStringView(t).left(eq));
        if (!line.name.isEmpty())
            line.kind = Kind::Key;
    }
    return line;
}

IniDocument IniDocument::parse(const QString& text) {
    IniDocument doc;
    const QStringList rows = text.split(u'\n');
    doc.lines_.reserve(rows.size());
    for (qsizetype i = 0; i < rows.size(); ++i) {
        QString row = rows[i];
        if (i == rows.size() - 1 && row.isEmpty())
            break; // text ended with a line break
        if (row.endsWith(u'\r'))
            row.chop(1);
        doc.lines_.append(classify(row));
    }
    return doc;
}

QString IniDocument::serialize() const {
    QString out;
    for (const Line& line : lines_) {
        out += line.text;
        out += QStringLiteral("\r\n");
    }
    return out;
}

// Names are compared case-folded everywhere (as QString's case-insensitive
// compare does), so a name that folds but does not lower-case to another,
// such as one holding U+017F, finds the same line in every operation.
QString IniDocument::indexKey(const QString& section, const QString& key) {
    return section.toCaseFolded() + u'\n' + key.toCaseFolded();
}

qsizetype IniDocument::findKey(const QString& section, const QString& key) const {
    if (!indexValid_) {
        index_.clear();
        QString current;
        for (qsizetype i = 0; i < lines_.size(); ++i) {
            const Line& line = lines_[i];
            if (line.kind == Kind::Section)
                current = line.name;
            else if (line.kind == Kind::Key && !current.isEmpty()) {
                const QString k = indexKey(current, line.name);
                if (!index_.contains(k)) // the first of duplicates wins
                    index_.insert(k, i);
            }
        }
        indexValid_ = true;
    }
    return index_.value(indexKey(section, key), -1);
}

std::optional<QString> IniDocument::value(const QString& section, const QString& key) const {
    const qsizetype i = findKey(section, key);
    if (i < 0)
        return std::nullopt;
    const QString& text = lines_[i].text;
    QString v = trimBlanks(QStringView(text).mid(text.indexOf(u'=') + 1));
    if (isQuoted(v))
        v = v.mid(1, v.size() - 2);
    v.truncate(kMaxValueLength);
    return v;
}

QString IniDocument::value(const QString& section, const QString& key,
                           const QString& fallback) const {
    return value(section, key).value_or(fallback);
}

bool IniDocument::isStorableValue(const QString& value) {
    for (QChar c : value)
        if (c == u'\r' || c == u'\n' || c == QChar(0))
            return false;
    return true;
}

QString IniDocument::encodeValue(const QString& value) {
    // Quote what the reader would otherwise trim or unquote.
    const bool needsQuotes =
        !value.isEmpty() && (isBlank(value.front()) || isBlank(value.back()) || isQuoted(value));
    return needsQuotes ? u'"' + value + u'"' : value;
}

qsizetype IniDocument::insertionPoint(const QString& section) {
    // After the last key of the first section of that name.
    qsizetype at = -1;
    for (qsizetype i = 0; i < lines_.size(); ++i) {
        const Line& line = lines_[i];
        if (line.kind == Kind::Section) {
            if (at >= 0)
                break;
            if (sameName(line.name, section))
                at = i + 1;
        } else if (at >= 0 && line.kind == Kind::Key) {
            at = i + 1;
        }
    }
    if (at < 0) {
        lines_.append(classify(u'[' + section + u']'));
        at = lines_.size();
    }
    return at;
}

bool IniDocument::setValue(const QString& section, const QString& key, const QString& value) {
    return setValues(section, {{key, value}});
}

bool IniDocument::setValues(const QString& section,
                            const QList<std::pair<QString, QString>>& values) {
    if (!isUsableName(section))
        return false;
    for (const auto& [key, value] : values)
        if (!isUsableName(key) || !isStorableValue(value))
            return false;
    QList<Line> added;
    QSet<QString> addedNames;
    for (const auto& [key, value] : values) {
        const Line line = classify(key + u'=' + encodeValue(value));
        const qsizetype existing = findKey(section, key);
        if (existing >= 0) {
            lines_[existing] = line; // same place: the index stays valid
        } else if (!addedNames.contains(key.toCaseFolded())) {
            addedNames.insert(key.toCaseFolded());
            added.append(line);
        } else {
            for (Line& pending : added)
                if (sameName(pending.name, key))
                    pending = line;
        }
    }
    if (!added.isEmpty()) {
        const qsizetype at = insertionPoint(section);
        lines_.insert(at, added.size(), Line());
        std::copy(added.cbegin(), added.cend(), lines_.begin() + at);
        indexValid_ = false;
    }
    return true;
}

void IniDocument::removeKey(const QString& section, const QString& key) {
    removeKeys(section, {key.toCaseFolded()});
}

void IniDocument::removeKeys(const QString& section, const QSet<QString>& lowerCaseKeys) {
    removeLinesIf(
        [&](const Line& line, bool inSection) {
            return inSection && line.kind == Kind::Key &&
                   lowerCaseKeys.contains(line.name.toCaseFolded());
        },
        section);
}

void IniDocument::removeSection(const QString& section) {
    removeLinesIf([](const Line&, bool inSection) { return inSection; }, section);
}

void IniDocument::removeLinesIf(const std::function<bool(const Line&, bool)>& drop,
                                const QString& section) {
    QList<Line> kept;
    kept.reserve(lines_.size());
    bool inSection = false;
    for (const Line& line : std::as_const(lines_)) {
        if (line.kind == Kind::Section)
            inSection = sameName(line.name, section);
        if (!drop(line, inSection))
            kept.append(line);
    }
    if (kept.size() != lines_.size()) {
        lines_ = std::move(kept);
        indexValid_ = false;
    }
}

} // namespace tarvik
