#pragma once

#include "ui/editors/EditorContext.h"
#include "ui/editors/ScriptFileName.h"

#include <QDate>
#include <QDialog>
#include <QString>
#include <memory>

class QListWidget;

namespace Ui {
class ZipScriptEditor;
}

namespace tarvik {

class WindowPlacement;

struct ZipScriptOptions;

// The zip script editor. In add mode it creates a new script (and a row of the
// script list); in edit mode it changes `currentScriptFile` in the script
// folder, renaming it when the name box changes. The enabled Save button is
// the window's only "modified" flag.
class ZipScriptEditor : public QDialog {
    Q_OBJECT
public:
    ZipScriptEditor(EditorContext context, bool addingNewScript, const QString& currentScriptFile,
                    QWidget* parent = nullptr);
    ~ZipScriptEditor() override;

    // Every way of closing (Close, Esc, the close box) asks about unsaved
    // changes first.
    void reject() override;
    // Every way of closing keeps the window's size and place for the next time.
    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void connectControls();
    void loadScript(const QString& currentScriptFile);

    void addFileSpec();
    void setAllDeleteMarks(bool marked);
    void addDirectory();
    // A line of `list` was added or removed.
    void listChanged(QListWidget* list);
    void acceptDrops();
    void addDropped(QListWidget* list, const QStringList& paths);
    void dateChanged(QDate date);

    void save();
    void openEmailSettings();
    // The required-fields message box; false when something is missing.
    bool requiredFieldsPresent();
    // The name-taken and unusable-name refusals shared by Save and the e-mail
    // settings button; false after a refusal.
    bool scriptNameUsable();
    bool writeScript(const ZipScriptOptions& options, bool renamed);

    void setChanged();
    void showStatus(const QString& text); // replaces the message box's whole text
    void refuse(const QString& text);     // beep, then showStatus
    void updateListButtons();
    void fitLists();
    // The file the name box stands for.
    QString scriptPath() const;
    QStringList directories() const;
    ZipScriptOptions optionsFromControls() const;

    std::unique_ptr<Ui::ZipScriptEditor> ui_;
    EditorContext context_;
    const bool adding_;
    ScriptFileName file_;
    QString loadedDescription_;
    bool fileSpecsChanged_ = false;
    bool directoriesChanged_ = false;
    bool scriptNameChanged_ = false;
    QDate lastAcceptedDate_;
    std::unique_ptr<WindowPlacement> placement_;
};

} // namespace tarvik
