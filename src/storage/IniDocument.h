#pragma once

#include <QList>
#include <QString>
#include <optional>

namespace tarvik {

// The text of one INI profile file, held line by line so that a change keeps
// every other line, comment and the order of the file as it was.
//
// Section and key names match without regard to letter case; blanks (spaces
// and tabs) around names and values are ignored; one pair of double quotes
// around a value is removed; the first of duplicate keys wins; lines starting
// with ';' are comments.
class IniDocument {
public:
    // Values are returned cut to this many characters.
    static constexpr qsizetype kMaxValueLength = 2047;

    static IniDocument parse(const QString& text);
    // The whole file, every line ended with CR LF.
    QString serialize() const;

    std::optional<QString> value(const QString& section, const QString& key) const;
    QString value(const QString& section, const QString& key, const QString& fallback) const;

    // Sets key = value, in place when the key exists. Returns false and
    // changes nothing when the value cannot be stored on one line (it holds a
    // line break or NUL) or the names are unusable.
    bool setValue(const QString& section, const QString& key, const QString& value);
    void removeKey(const QString& section, const QString& key);
    void removeSection(const QString& section);

    // True when the text can be stored as a value and read back unchanged.
    static bool isStorableValue(const QString& value);

private:
    enum class Kind { Other, Section, Key };
    struct Line {
        QString text;
        Kind kind = Kind::Other;
        QString name; // section or key name, trimmed
    };

    static Line classify(const QString& text);
    static QString encodeValue(const QString& value);
    qsizetype findKey(const QString& section, const QString& key) const;

    QList<Line> lines_;
};

} // namespace tarvik
