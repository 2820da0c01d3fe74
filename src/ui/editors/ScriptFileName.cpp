#include "ui/editors/ScriptFileName.h"

#include "storage/FileOps.h"
#include "storage/PathText.h"
#include "ui/common/WindowMessages.h"

#include <QFileInfo>

namespace tarvik {

ScriptFileName::ScriptFileName(ScriptKind kind, const QString& scriptFolder)
    : ending_(ScriptEnding(kind)), folder_(scriptFolder) {}

void ScriptFileName::setStored(const QString& fileName) {
    storedFile_ = fileName;
    storedName_ = fileName.endsWith(ending_, Qt::CaseInsensitive) ? fileName.chopped(ending_.size())
                                                                  : fileName;
}

QString ScriptFileName::storedPath() const {
    return JoinPath(folder_, storedFile_);
}

bool ScriptFileName::isRename(const QString& name) const {
    return !storedFile_.isEmpty() && name != storedName_;
}

QString ScriptFileName::fileName(const QString& name) const {
    return !storedFile_.isEmpty() && name == storedName_ ? storedFile_ : name + ending_;
}

QString ScriptFileName::path(const QString& name) const {
    return JoinPath(folder_, fileName(name));
}

void RemoveScriptFile(DialogService& dialogs, QWidget* owner, const QString& path) {
    PlatformError error;
    if (QFileInfo(path).exists() && !RemoveFile(path, error))
        ReportFileError(dialogs, owner, QStringLiteral("Unable to delete file ") + path, error);
}

void RemoveRenamedScript(DialogService& dialogs, QWidget* owner, const QString& oldPath,
                         const QString& newPath) {
    if (QFileInfo(oldPath).canonicalFilePath() != QFileInfo(newPath).canonicalFilePath())
        RemoveScriptFile(dialogs, owner, oldPath);
}

} // namespace tarvik
