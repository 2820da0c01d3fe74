#pragma once

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <functional>
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
    // Removes every key of the section whose name, case-folded, is in `keys`
    // (for ASCII names that is the lower-cased name).
    void removeKeys(const QString& section, const QSet<QString>& lowerCaseKeys);
    void removeSection(const QString& section);

    // Sets many keys at once; new keys go, in order, after the section's last
    // key. False, with nothing changed, when any value cannot be stored.
    bool setValues(const QString& section, const QList<std::pair<QString, QString>>& values);

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
    static QString indexKey(const QString& section, const QString& key);
    qsizetype findKey(const QString& section, const QString& key) const;
    qsizetype insertionPoint(const QString& section);
    // Drops the lines for which `drop(line, inSection)` holds.
    void removeLinesIf(const std::function<bool(const Line&, bool)>& drop, const QString& section);

    QList<Line> lines_;
    // First line of each section/key pair; rebuilt when lines move.
    mutable QHash<QString, qsizetype> index_;
    mutable bool indexValid_ = false;
};

} // namespace tarvik
