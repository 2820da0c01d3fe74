#include "ui/editors/ScriptFileName.h"

#include "storage/PathText.h"

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

} // namespace tarvik
