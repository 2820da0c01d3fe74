#pragma once

#include "ui/editors/EditorContext.h"
#include "ui/editors/ScriptFileName.h"

#include <QDialog>
#include <QString>
#include <memory>

class QListWidget;

namespace Ui {
class UnzipScriptEditor;
}

namespace tarvik {

class WindowPlacement;

// The unzip script editor: creates a new unzip script (`addingNewScript`) or
// changes the one named `currentScriptFile` in the script folder, and keeps
// the main window's list in step with what it saved.
class UnzipScriptEditor : public QDialog {
    Q_OBJECT
public:
    UnzipScriptEditor(EditorContext context, bool addingNewScript, const QString& currentScriptFile,
                      QWidget* parent = nullptr);
    ~UnzipScriptEditor() override;

    // Closing asks first while there are unsaved changes.
    void reject() override;
    // Every way of closing keeps the window's size and place for the next time.
    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void loadNew();
    void loadExisting(const QString& currentScriptFile);
    void connectControls();
    void setModified() const;
    void showMessage(const QString& text) const;
    void refuse(const QString& text) const; // beep, then showMessage
    void updateListButtons() const;

    void chooseArchive();
    void addSpec();
    void addDirectory();
    // A line of `list` was added or removed.
    void listChanged(QListWidget* list);
    void acceptDrops();
    void save();
    bool requiredFieldsPresent();
    bool writeScript(const QString& path, bool listsChanged) const;

    std::unique_ptr<Ui::UnzipScriptEditor> ui_;
    EditorContext context_;
    bool adding_;
    ScriptFileName file_;
    QString loadedDescription_;
    bool fileSpecsChanged_ = false;
    bool directoriesChanged_ = false;
    std::unique_ptr<WindowPlacement> placement_;
};

} // namespace tarvik
