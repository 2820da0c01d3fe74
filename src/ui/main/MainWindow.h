#pragma once

#include "ui/main/RunController.h"
#include "ui/main/ScriptList.h"

#include <QDateTime>
#include <QHash>
#include <QWidget>
#include <functional>
#include <memory>

class QMenu;
class QSystemTrayIcon;

namespace Ui {
class MainWindow;
}

namespace tarvik {

class WindowPlacement;

class DialogService;
class ScriptListAdapter;
class TextViewer;
struct AdvancedSelection;
struct ProgramSettings;

// What the main window takes from its surroundings besides the settings.
struct MainWindowOptions {
    QString tempFolder;                  // where zip runs build; empty: DefaultTempFolder()
    std::function<QDateTime()> clock;    // empty: the current local time
    std::function<bool()> trayAvailable; // empty: QSystemTrayIcon::isSystemTrayAvailable
    TextViewer* viewer = nullptr;        // the View command and F1; empty: the desktop's viewer
    QString settingsFile;                // what Options edits; empty: SettingsFilePath()
};

// The main window: the script list, the selection commands, runs of the
// marked scripts (or of one double-clicked script) on a worker thread, and the
// tray icon. Closing is refused while a script runs.
class MainWindow : public QWidget {
    Q_OBJECT
public:
    MainWindow(ProgramSettings& settings, DialogService& dialogs, MainWindowOptions options = {},
               QWidget* parent = nullptr);
    ~MainWindow() override;

    // A Run-button run is under way.
    bool runInProgress() const { return runInProgress_; }
    // Any script runs: a Run-button run or a double-click run.
    bool scriptRunning() const;
    // The file name of the row the last row command acted on.
    const QString& currentScriptFile() const { return currentScriptFile_; }

signals:
    // The window closed (the close was not refused).
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class RunKind { None, Marked, Single };

    void setUpColumns();
    void setUpShortcuts();
    void setUpTray();
    void connectCommands();
    void fillList();
    void setListCommandsEnabled(bool on);
    void updateRunButton();
    int highlightedRow() const;

    // Commands.
    void refresh();
    void selectRow();
    void deselectRow();
    void selectAll();
    void deselectAll();
    void selectOpposite();
    void openAdvancedSelect();
    void applyAdvancedSelect(const AdvancedSelection& selection);
    void showAbout();

    // Script commands.
    void addScript();
    void editScript();
    void deleteScript();
    void copyScript();
    void openScript();
    void showHelp();
    void openInTextViewer(const QString& path);
    void showOptions();
    void openUnzipEditor(bool adding, const QString& file);
    void openZipEditor(bool adding, const QString& file);
    // The highlighted row's script, or -1; a missing script is reported.
    int rowOfExistingScript();
    void afterRowsChanged();
    void onListClicked();
    void onHeaderClicked(int column);
    void onListDoubleClicked(const QModelIndex& index);

    // Runs.
    void runMarked();
    void terminateRun();
    void onJobStarting(const RunJob& job);
    void onJobFinished(const RunJob& job, quint16 result, int processed, int total);
    void onRunEnded(bool terminated);
    void setProgress(double percent);
    QString now() const;
    QString scriptPath(const QString& name) const;

    // The System Messages box.
    void appendText(const QString& text);
    void appendLine(const QString& line) { appendText(line + u'\n'); }

    // Tray.
    void restoreFromTray();

    QList<QWidget*> controls() const;

    std::unique_ptr<Ui::MainWindow> ui_;
    ProgramSettings& settings_;
    DialogService& dialogs_;
    std::function<QDateTime()> clock_;
    std::function<bool()> trayAvailable_;
    ScriptListModel* model_ = nullptr;
    RunController* runner_ = nullptr;
    QSystemTrayIcon* tray_ = nullptr;
    QMenu* trayMenu_ = nullptr;

    int sortDirection_ = 0; // shared by every column: 0 ascending, 1 descending
    RunKind runKind_ = RunKind::None;
    bool runInProgress_ = false;
    QHash<QWidget*, bool> enabledBeforeRun_;
    bool addingNewScript_ = false;
    QString currentScriptFile_;
    std::unique_ptr<TextViewer> ownViewer_;
    TextViewer* viewer_ = nullptr;
    QString settingsFile_;
    std::unique_ptr<ScriptListAdapter> listAdapter_;
    std::unique_ptr<WindowPlacement> placement_;
    Qt::WindowStates stateBeforeTray_ = Qt::WindowNoState;
};

} // namespace tarvik
