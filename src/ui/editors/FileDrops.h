#pragma once

#include <QObject>
#include <QStringList>
#include <functional>

class QWidget;

namespace tarvik {

// Local files and folders dragged from a file manager onto a widget. A drag
// is accepted when `wanted` takes at least one of its paths; the drop hands
// those paths to `take`, in the order they came.
class FileDrops : public QObject {
public:
    using Wanted = std::function<bool(const QString& path)>;
    using Take = std::function<void(const QStringList& paths)>;

    FileDrops(QWidget* target, Wanted wanted, Take take);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Wanted wanted_;
    Take take_;
};

// What a dropped path means to an editor's lists: a folder is every file in
// it ("folder/*.*"), a file itself.
QString FileSpecOfDropped(const QString& path);

bool IsFolder(const QString& path);
bool IsZipFile(const QString& path); // a file named ".zip" in any letter case

} // namespace tarvik
