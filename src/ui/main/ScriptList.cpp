#include "ui/main/ScriptList.h"

#include "storage/PathText.h"
#include "storage/ProfileFile.h"
#include "storage/ScriptFolder.h"
#include "storage/ScriptKeys.h"

#include <QDir>
#include <algorithm>

namespace tarvik {

QList<ScriptRow> LoadScriptRows(const QString& scriptFolder) {
    QList<ScriptRow> rows;
    const std::pair<ScriptKind, const QString*> kinds[] = {{ScriptKind::Zip, &kZipType},
                                                           {ScriptKind::Unzip, &kUnzipType}};
    for (const auto& [kind, type] : kinds) {
        const QString pattern = u'*' + ScriptEnding(kind);
        for (const QString& name : ListScriptFolder(scriptFolder, pattern, false)) {
            const IniDocument doc =
                LoadIniDocument(JoinPath(scriptFolder, name)).value_or(IniDocument());
            ScriptRow row;
            row.fileName = name;
            row.type = *type;
            row.lastRun = doc.value(keys::kOptions, keys::kLastRun, QString());
            row.error = doc.value(keys::kOptions, keys::kError, QString());
            row.description = doc.value(keys::kOptions, keys::kDescription, QString());
            rows.append(row);
        }
    }
    return rows;
}

ScriptListModel::ScriptListModel(QObject* parent) : QAbstractTableModel(parent) {}

int ScriptListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

int ScriptListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kScriptColumnCount;
}

const QString& ScriptListModel::cell(const ScriptRow& row, int column) {
    switch (column) {
    case kMarkerColumn:
        return row.marker;
    case kFileNameColumn:
        return row.fileName;
    case kTypeColumn:
        return row.type;
    case kLastRunColumn:
        return row.lastRun;
    case kErrorColumn:
        return row.error;
    default:
        return row.description;
    }
}

QVariant ScriptListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows_.size() || index.column() >= kScriptColumnCount)
        return {};
    if (role == Qt::DisplayRole)
        return cell(rows_.at(index.row()), index.column());
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

QVariant ScriptListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kScriptColumnCount)
        return {};
    if (role == Qt::DisplayRole) {
        static const QString kHeaders[kScriptColumnCount] = {QString(),
                                                             QStringLiteral("File Name"),
                                                             QStringLiteral("Type"),
                                                             QStringLiteral("Last Run"),
                                                             QStringLiteral("Error"),
                                                             QStringLiteral("Description")};
        return kHeaders[section];
    }
    if (role == Qt::DecorationRole && section == sortColumn_)
        return sortOrder_ == Qt::DescendingOrder ? descending_ : ascending_;
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

void ScriptListModel::setSortMarkers(const QIcon& ascending, const QIcon& descending) {
    ascending_ = ascending;
    descending_ = descending;
    if (sortColumn_ >= 0)
        emit headerDataChanged(Qt::Horizontal, sortColumn_, sortColumn_);
}

void ScriptListModel::setRows(QList<ScriptRow> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    for (ScriptRow& row : rows_)
        row.id = nextId_++;
    if (sortColumn_ >= 0)
        applySort();
    endResetModel();
}

int ScriptListModel::rowOfId(quint64 id) const {
    for (int i = 0; i < rows_.size(); ++i) {
        if (rows_.at(i).id == id)
            return i;
    }
    return -1;
}

void ScriptListModel::changeCell(int index, int column, QString ScriptRow::*field,
                                 const QString& text) {
    if (index < 0 || index >= rows_.size() || rows_[index].*field == text)
        return;
    rows_[index].*field = text;
    const QModelIndex at = this->index(index, column);
    emit dataChanged(at, at, {Qt::DisplayRole});
}

void ScriptListModel::setMarked(int index, bool marked) {
    changeCell(index, kMarkerColumn, &ScriptRow::marker, marked ? kSelectionMarker : QString());
}

void ScriptListModel::setAllMarked(bool marked) {
    for (int i = 0; i < rows_.size(); ++i)
        setMarked(i, marked);
}

void ScriptListModel::invertMarks() {
    for (int i = 0; i < rows_.size(); ++i)
        setMarked(i, rows_.at(i).marker != kSelectionMarker);
}

bool ScriptListModel::anyMarked() const {
    return std::any_of(rows_.begin(), rows_.end(),
                       [](const ScriptRow& r) { return r.marker == kSelectionMarker; });
}

int ScriptListModel::addRow(ScriptRow row) {
    row.id = nextId_++;
    const quint64 id = row.id;
    beginInsertRows({}, int(rows_.size()), int(rows_.size()));
    rows_.append(std::move(row));
    endInsertRows();
    if (sortColumn_ >= 0)
        sortRows(sortColumn_, sortOrder_);
    return rowOfId(id);
}

void ScriptListModel::removeScriptRow(int index) {
    if (index < 0 || index >= rows_.size())
        return;
    beginRemoveRows({}, index, index);
    rows_.removeAt(index);
    endRemoveRows();
}

void ScriptListModel::setFileName(int index, const QString& text) {
    changeCell(index, kFileNameColumn, &ScriptRow::fileName, text);
}

void ScriptListModel::setDescription(int index, const QString& text) {
    changeCell(index, kDescriptionColumn, &ScriptRow::description, text);
}

void ScriptListModel::setLastRun(int index, const QString& text) {
    changeCell(index, kLastRunColumn, &ScriptRow::lastRun, text);
}

void ScriptListModel::setError(int index, const QString& text) {
    changeCell(index, kErrorColumn, &ScriptRow::error, text);
}

void ScriptListModel::applySort() {
    const int column = sortColumn_;
    const auto less = [column](const ScriptRow& a, const ScriptRow& b) {
        return cell(a, column).compare(cell(b, column), Qt::CaseInsensitive) < 0;
    };
    if (sortOrder_ == Qt::AscendingOrder)
        std::stable_sort(rows_.begin(), rows_.end(), less);
    else
        std::stable_sort(rows_.begin(), rows_.end(),
                         [&less](const ScriptRow& a, const ScriptRow& b) { return less(b, a); });
}

void ScriptListModel::sortRows(int column, Qt::SortOrder order) {
    sortColumn_ = column >= 0 && column < kScriptColumnCount ? column : -1;
    sortOrder_ = order;
    if (sortColumn_ >= 0) {
        emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
        // Keep the view's current row (and any other kept index) on its script.
        const QModelIndexList before = persistentIndexList();
        QList<quint64> ids;
        for (const QModelIndex& index : before)
            ids.append(rows_.at(index.row()).id);
        applySort();
        QModelIndexList after;
        for (int i = 0; i < before.size(); ++i)
            after.append(index(rowOfId(ids.at(i)), before.at(i).column()));
        changePersistentIndexList(before, after);
        emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    }
    emit headerDataChanged(Qt::Horizontal, 0, kScriptColumnCount - 1);
}

} // namespace tarvik
