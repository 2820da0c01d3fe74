#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <QList>
#include <QString>

namespace tarvik {

// One row of the script list. `id` stays with the row through sorting, so a
// run's outcome finds its row whatever the order.
struct ScriptRow {
    quint64 id = 0;
    QString marker; // "X" when marked for the Run button
    QString fileName;
    QString type; // "Zip" or "Unzip"
    QString lastRun;
    QString error;
    QString description;
};

// Columns of the list, left to right.
enum ScriptColumn {
    kMarkerColumn,
    kFileNameColumn,
    kTypeColumn,
    kLastRunColumn,
    kErrorColumn,
    kDescriptionColumn,
    kScriptColumnCount
};

inline const QString kSelectionMarker = QStringLiteral("X");
inline const QString kZipType = QStringLiteral("Zip");
inline const QString kUnzipType = QStringLiteral("Unzip");

// Column widths in twips; 15 twips make a pixel.
inline constexpr int kColumnTwips[kScriptColumnCount] = {350, 2100, 900, 1300, 850, 10000};
inline constexpr int TwipsToPixels(int twips) {
    return (twips * 2 + 15) / 30;
}

// Every zip script of the folder, then every unzip script, each group in name
// order; LastRun, Error and Description read from the files now. Rows come
// unmarked and without ids.
QList<ScriptRow> LoadScriptRows(const QString& scriptFolder);

// The script list's rows. Sorting is by the text of one column, ignoring
// letter case and keeping the earlier order of equal texts; the sort stays in
// force for rows filled in later, and the sorted column's header shows the
// ascending or descending marker.
class ScriptListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ScriptListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // The header markers: image 1 ascending, image 2 descending.
    void setSortMarkers(const QIcon& ascending, const QIcon& descending);

    // Replaces every row (new ids, sorted when a sort is in force).
    void setRows(QList<ScriptRow> rows);
    const ScriptRow& row(int index) const { return rows_.at(index); }
    int rowOfId(quint64 id) const; // -1 when the row is gone

    void setMarked(int index, bool marked);
    void setAllMarked(bool marked);
    void invertMarks();
    bool anyMarked() const;

    // A row for a script just created, placed by the sort in force; returns
    // its index.
    int addRow(ScriptRow row);
    void removeScriptRow(int index);
    void setFileName(int index, const QString& text);
    void setDescription(int index, const QString& text);
    void setLastRun(int index, const QString& text);
    void setError(int index, const QString& text);

    // Sorts by `column`; -1 leaves the rows as they are and drops the markers.
    void sortRows(int column, Qt::SortOrder order);
    int sortColumn() const { return sortColumn_; }
    Qt::SortOrder sortOrder() const { return sortOrder_; }

private:
    static const QString& cell(const ScriptRow& row, int column);
    void changeCell(int index, int column, QString ScriptRow::*field, const QString& text);
    void applySort();

    QList<ScriptRow> rows_;
    quint64 nextId_ = 1;
    int sortColumn_ = -1;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
    QIcon ascending_;
    QIcon descending_;
};

} // namespace tarvik
