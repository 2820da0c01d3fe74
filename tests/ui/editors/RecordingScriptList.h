#pragma once

#include "ui/editors/EditorContext.h"

#include <QStringList>

// The editors' view of the main window's list, recording each change as
// "add: name|type|description", "name: text" or "description: text".
struct RecordingScriptList final : tarvik::ScriptListAccess {
    QStringList changes;
    void addRow(const QString& fileName, const QString& type, const QString& description) override {
        changes.append(QStringLiteral("add: ") + fileName + u'|' + type + u'|' + description);
    }
    void setSelectedFileName(const QString& fileName) override {
        changes.append(QStringLiteral("name: ") + fileName);
    }
    void setSelectedDescription(const QString& description) override {
        changes.append(QStringLiteral("description: ") + description);
    }
};
