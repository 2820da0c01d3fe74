#include "ui/main/ScriptListAdapter.h"

#include "ui/main/ScriptList.h"

#include <QAbstractItemView>

namespace tarvik {

void ScriptListAdapter::addRow(const QString& fileName, const QString& type,
                               const QString& description) {
    ScriptRow row;
    row.fileName = fileName;
    row.type = type;
    row.description = description;
    model_.addRow(std::move(row));
}

int ScriptListAdapter::highlightedRow() const {
    const QModelIndex current = view_.currentIndex();
    return current.isValid() ? current.row() : -1;
}

void ScriptListAdapter::setSelectedFileName(const QString& fileName) {
    model_.setFileName(highlightedRow(), fileName);
}

void ScriptListAdapter::setSelectedDescription(const QString& description) {
    model_.setDescription(highlightedRow(), description);
}

} // namespace tarvik
