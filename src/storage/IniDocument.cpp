#include "storage/IniDocument.h"

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

qsizetype IniDocument::findKey(const QString& section, const QString& key) const {
    bool inSection = false;
    for (qsizetype i = 0; i < lines_.size(); ++i) {
        const Line& line = lines_[i];
        if (line.kind == Kind::Section)
            inSection = sameName(line.name, section);
        else if (inSection && line.kind == Kind::Key && sameName(line.name, key))
            return i;
    }
    return -1;
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

bool IniDocument::setValue(const QString& section, const QString& key, const QString& value) {
    if (!isUsableName(section) || !isUsableName(key) || !isStorableValue(value))
        return false;
    const QString text = key + u'=' + encodeValue(value);
    const qsizetype existing = findKey(section, key);
    if (existing >= 0) {
        lines_[existing] = classify(text);
        return true;
    }
    // New key: after the last key of the first section of that name.
    qsizetype insertAt = -1;
    bool inSection = false;
    bool seenSection = false;
    for (qsizetype i = 0; i < lines_.size(); ++i) {
        const Line& line = lines_[i];
        if (line.kind == Kind::Section) {
            if (inSection)
                break;
            inSection = sameName(line.name, section) && !seenSection;
            if (inSection) {
                seenSection = true;
                insertAt = i + 1;
            }
        } else if (inSection && line.kind == Kind::Key) {
            insertAt = i + 1;
        }
    }
    if (insertAt < 0) {
        lines_.append(classify(u'[' + section + u']'));
        insertAt = lines_.size();
    }
    lines_.insert(insertAt, classify(text));
    return true;
}

void IniDocument::removeKey(const QString& section, const QString& key) {
    for (qsizetype i = findKey(section, key); i >= 0; i = findKey(section, key))
        lines_.removeAt(i);
}

void IniDocument::removeSection(const QString& section) {
    bool inSection = false;
    QList<Line> kept;
    for (const Line& line : std::as_const(lines_)) {
        if (line.kind == Kind::Section)
            inSection = sameName(line.name, section);
        if (!inSection)
            kept.append(line);
    }
    lines_ = kept;
}

} // namespace tarvik
