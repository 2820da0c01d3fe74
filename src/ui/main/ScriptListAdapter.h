#pragma once

#include "ui/editors/EditorContext.h"

class QAbstractItemView;

namespace tarvik {

class ScriptListModel;

// The editors' view of the main window's list: new rows go into the model,
// changes of an edited script go to the highlighted row.
class ScriptListAdapter final : public ScriptListAccess {
public:
    ScriptListAdapter(ScriptListModel& model, const QAbstractItemView& view)
        : model_(model), view_(view) {}

    void addRow(const QString& fileName, const QString& type, const QString& description) override;
    void setSelectedFileName(const QString& fileName) override;
    void setSelectedDescription(const QString& description) override;

private:
    int highlightedRow() const;

    ScriptListModel& model_;
    const QAbstractItemView& view_;
};

} // namespace tarvik
