#include "storage/ScriptFields.h"

#include "storage/ScriptKeys.h"

namespace tarvik {
namespace {

QString member(const QString& prefix, qsizetype index) {
    return prefix + QString::number(index);
}

} // namespace

bool ReadFlag(const IniDocument& doc, const QString& key) {
    return ReadText(doc, key).toLower() == QLatin1String("yes");
}

QString FlagText(bool on) {
    return on ? QStringLiteral("Yes") : QStringLiteral("No");
}

QString ReadText(const IniDocument& doc, const QString& key) {
    return doc.value(keys::kOptions, key, QString());
}

bool WriteText(IniDocument& doc, const QString& key, const QString& value) {
    if (value.isEmpty()) {
        doc.removeKey(keys::kOptions, key);
        return true;
    }
    return doc.setValue(keys::kOptions, key, value);
}

QStringList ReadFamily(const IniDocument& doc, const QString& prefix) {
    QStringList values;
    for (qsizetype i = 1;; ++i) {
        const QString v = ReadText(doc, member(prefix, i));
        if (v.isEmpty())
            return values;
        values.append(v);
    }
}

bool WriteFamily(IniDocument& doc, const QString& prefix, const QStringList& values) {
    QList<std::pair<QString, QString>> members;
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (values[i].isEmpty() || !IniDocument::isStorableValue(values[i]))
            return false;
        members.append({member(prefix, i + 1), values[i]});
    }
    QSet<QString> old;
    const qsizetype existing = ReadFamily(doc, prefix).size();
    for (qsizetype i = 1; i <= existing + 1; ++i)
        old.insert(member(prefix, i).toLower());
    doc.removeKeys(keys::kOptions, old);
    return doc.setValues(keys::kOptions, members);
}

} // namespace tarvik
