#include "ui/main/MainWindow.h"

#include "platform/DialogService.h"
#include "platform/TextViewer.h"
#include "platform/WaitCursor.h"
#include "storage/PathText.h"
#include "storage/ProfileFile.h"
#include "storage/ProgramSettings.h"
#include "storage/TempFolder.h"
#include "storage/Wildcard.h"
#include "ui/common/WindowPlacement.h"
#include "ui/main/AboutBox.h"
#include "ui/main/AdvancedSelectDialog.h"
#include "ui/main/RunProgress.h"
#include "ui/main/ScriptListAdapter.h"
#include "ui_MainWindow.h"

#include <QCloseEvent>
#include <QDir>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QShortcut>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTimer>

// Resources of a static library are registered by hand, outside any namespace.
static void initUiMainResources() {
    Q_INIT_RESOURCE(tarvik_ui_main);
}

namespace tarvik {
namespace {

const QString kListToolTip = QStringLiteral(" Double-click on script to execute ");

// The size the window was drawn at: where it starts, and its smallest.
constexpr QSize kDesignedSize(860, 560);

bool noShiftCtrlAlt(const QKeyEvent* key) {
    return !(key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier));
}

} // namespace

MainWindow::MainWindow(ProgramSettings& settings, DialogService& dialogs, MainWindowOptions options,
                       QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::MainWindow>()), settings_(settings),
      dialogs_(dialogs), clock_(std::move(options.clock)),
      trayAvailable_(std::move(options.trayAvailable)) {
    initUiMainResources();
    if (!clock_)
        clock_ = [] { return QDateTime::currentDateTime(); };
    if (!trayAvailable_)
        trayAvailable_ = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
    viewer_ = options.viewer;
    if (!viewer_) {
        ownViewer_ = std::make_unique<DesktopTextViewer>();
        viewer_ = ownViewer_.get();
    }
    settingsFile_ = options.settingsFile.isEmpty() ? SettingsFilePath() : options.settingsFile;

    WaitCursor wait;
    ui_->setupUi(this);
    // The Terminate button takes the Run button's place while a run goes on.
    ui_->terminateButton->setFixedSize(ui_->runButton->sizeHint());
    ui_->terminateButton->hide();
    // The bar's room stays when it is hidden: the list keeps its height
    // when a run starts and ends.
    QSizePolicy barPolicy = ui_->runProgress->sizePolicy();
    barPolicy.setRetainSizeWhenHidden(true);
    ui_->runProgress->setSizePolicy(barPolicy);
    ui_->runProgress->hide();
    setProgress(0);

    model_ = new ScriptListModel(this);
    ui_->scriptList->setModel(model_);
    ui_->scriptList->installEventFilter(this);
    listAdapter_ = std::make_unique<ScriptListAdapter>(*model_, *ui_->scriptList);

    const QString tempFolder =
        options.tempFolder.isEmpty() ? DefaultTempFolder() : options.tempFolder;
    runner_ = new RunController(settings_, tempFolder, clock_, this);
    connect(runner_, &RunController::jobStarting, this, &MainWindow::onJobStarting);
    connect(runner_, &RunController::jobFinished, this, &MainWindow::onJobFinished);
    connect(runner_, &RunController::runEnded, this, &MainWindow::onRunEnded);
    connect(runner_, &RunController::message, this, &MainWindow::appendLine);
    connect(runner_, &RunController::progress, this, [this](double percent, const QString& file) {
        if (runKind_ == RunKind::Marked)
            AdvanceRunProgress(ui_->runProgress, percent, file);
    });

    ui_->messagesBox->setPlainText(QStringLiteral("Welcome to ") + QStringLiteral("Tarvik") +
                                   QStringLiteral("! Press the F1 key for help."));
    setUpTray();
    setWindowTitle(QStringLiteral("Tarvik"));
    setUpColumns();
    fillList();
    if (model_->rowCount() > 0) {
        setListCommandsEnabled(true);
        ui_->scriptList->setToolTip(kListToolTip);
    }
    model_->setSortMarkers(QIcon(QStringLiteral(":/tarvik/sort-up.png")),
                           QIcon(QStringLiteral(":/tarvik/sort-down.png")));
    connectCommands();
    setUpShortcuts();
    placement_ = std::make_unique<WindowPlacement>(this, QStringLiteral("MainWindow"),
                                                   settingsFile_, kDesignedSize);
    placement_->restore(nullptr);
}

MainWindow::~MainWindow() {
    // The controller waits for a script that is still running.
    delete runner_;
    runner_ = nullptr;
    if (runKind_ != RunKind::None)
        QGuiApplication::restoreOverrideCursor();
}

bool MainWindow::scriptRunning() const {
    return runKind_ != RunKind::None;
}

QList<QWidget*> MainWindow::controls() const {
    const Ui::MainWindow& u = *ui_;
    return {u.addButton,       u.editButton,        u.deleteButton,         u.copyButton,
            u.runButton,       u.terminateButton,   u.optionsButton,        u.aboutButton,
            u.exitButton,      u.scriptList,        u.selectButton,         u.deselectButton,
            u.selectAllButton, u.deselectAllButton, u.selectOppositeButton, u.advancedSelectButton,
            u.openButton,      u.refreshButton,     u.messagesLabel,        u.clearMessagesButton,
            u.messagesBox,     u.runProgress};
}

void MainWindow::setUpColumns() {
    QHeaderView* header = ui_->scriptList->header();
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(8);
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (int column = 0; column < kScriptColumnCount; ++column)
        header->resizeSection(column, TwipsToPixels(kColumnTwips[column]));
    // The designed widths are for the font the window was drawn with: a
    // wider one must not cut a time stamp.
    const QFontMetrics metrics(ui_->scriptList->font());
    const int stamp = metrics.horizontalAdvance(FormatTimeStamp(
        QDateTime(QDate(2000, 12, 28), QTime(20, 58, 58)), settings_.timeStampFormat));
    const int margin = 2 * ui_->scriptList->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) +
                       metrics.horizontalAdvance(u'0') * 2;
    header->resizeSection(kLastRunColumn,
                          std::max(header->sectionSize(kLastRunColumn), stamp + margin));
    connect(header, &QHeaderView::sectionClicked, this, &MainWindow::onHeaderClicked);
}

void MainWindow::setUpShortcuts() {
    const auto bind = [this](int key, auto handler) {
        auto* shortcut = new QShortcut(QKeySequence(key), this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, handler);
    };
    // F2 to F8 act only while their command's button is enabled.
    const auto whenEnabled = [this](QAbstractButton* button) {
        return [button] {
            if (button->isEnabled())
                button->click();
        };
    };
    bind(Qt::Key_F1, [this] { showHelp(); });
    bind(Qt::Key_F2, whenEnabled(ui_->selectButton));
    bind(Qt::Key_F3, whenEnabled(ui_->deselectButton));
    bind(Qt::Key_F4, whenEnabled(ui_->selectAllButton));
    bind(Qt::Key_F5, whenEnabled(ui_->deselectAllButton));
    bind(Qt::Key_F6, whenEnabled(ui_->selectOppositeButton));
    bind(Qt::Key_F7, whenEnabled(ui_->advancedSelectButton));
    bind(Qt::Key_F8, whenEnabled(ui_->openButton));
    // A refresh would replace the rows a run is reporting to.
    bind(Qt::Key_F9, [this] {
        if (!scriptRunning())
            refresh();
    });
    bind(Qt::Key_Escape, [this] { close(); });
}

void MainWindow::connectCommands() {
    const Ui::MainWindow& u = *ui_;
    const auto on = [this](QAbstractButton* button, void (MainWindow::*handler)()) {
        connect(button, &QAbstractButton::clicked, this, handler);
    };
    on(u.addButton, &MainWindow::addScript);
    on(u.editButton, &MainWindow::editScript);
    on(u.deleteButton, &MainWindow::deleteScript);
    on(u.copyButton, &MainWindow::copyScript);
    on(u.openButton, &MainWindow::openScript);
    on(u.optionsButton, &MainWindow::showOptions);
    on(u.runButton, &MainWindow::runMarked);
    on(u.terminateButton, &MainWindow::terminateRun);
    on(u.aboutButton, &MainWindow::showAbout);
    connect(u.exitButton, &QAbstractButton::clicked, this, [this] { close(); });
    on(u.selectButton, &MainWindow::selectRow);
    on(u.deselectButton, &MainWindow::deselectRow);
    on(u.selectAllButton, &MainWindow::selectAll);
    on(u.deselectAllButton, &MainWindow::deselectAll);
    on(u.selectOppositeButton, &MainWindow::selectOpposite);
    on(u.advancedSelectButton, &MainWindow::openAdvancedSelect);
    on(u.refreshButton, &MainWindow::refresh);
    connect(u.clearMessagesButton, &QAbstractButton::clicked, u.messagesBox,
            &QPlainTextEdit::clear);
    connect(u.scriptList, &QAbstractItemView::clicked, this, &MainWindow::onListClicked);
    connect(u.scriptList, &QAbstractItemView::doubleClicked, this,
            &MainWindow::onListDoubleClicked);
}

void MainWindow::fillList() {
    model_->setRows(LoadScriptRows(settings_.scriptFilePath));
}

void MainWindow::setListCommandsEnabled(bool on) {
    const Ui::MainWindow& u = *ui_;
    for (QWidget* w : {u.editButton, u.deleteButton, u.copyButton, u.selectButton, u.deselectButton,
                       u.selectAllButton, u.deselectAllButton, u.selectOppositeButton, u.openButton,
                       u.advancedSelectButton})
        w->setEnabled(on);
}

void MainWindow::updateRunButton() {
    ui_->runButton->setEnabled(model_->anyMarked());
}

int MainWindow::highlightedRow() const {
    const QModelIndex current = ui_->scriptList->currentIndex();
    return current.isValid() ? current.row() : -1;
}

QString MainWindow::now() const {
    return FormatTimeStamp(clock_(), settings_.timeStampFormat);
}

QString MainWindow::scriptPath(const QString& name) const {
    return JoinPath(settings_.scriptFilePath, name);
}

// ---- Script list -----------------------------------------------------------

void MainWindow::refresh() {
    WaitCursor wait;
    ui_->messagesBox->setPlainText(QStringLiteral("Refreshing zip script list..."));
    ui_->scriptList->hide();
    fillList();
    setListCommandsEnabled(model_->rowCount() > 0);
    ui_->runButton->setEnabled(false);
    ui_->scriptList->show();
    ui_->messagesBox->setPlainText(QStringLiteral("Zip script list refreshed."));
}

void MainWindow::onHeaderClicked(int column) {
    sortDirection_ = sortDirection_ == 0 ? 1 : 0;
    model_->sortRows(column, sortDirection_ == 1 ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void MainWindow::onListClicked() {
    if (model_->rowCount() == 0)
        return;
    ui_->editButton->setEnabled(true);
    ui_->deleteButton->setEnabled(true);
    ui_->copyButton->setEnabled(true);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui_->scriptList && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (noShiftCtrlAlt(key) && key->key() == Qt::Key_Delete) {
            deleteScript();
            return true;
        }
        if (noShiftCtrlAlt(key) && key->key() == Qt::Key_Insert) {
            addScript();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::showAbout() {
    auto* box = new AboutBox(this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void MainWindow::afterRowsChanged() {
    const bool any = model_->rowCount() > 0;
    ui_->scriptList->setToolTip(any ? kListToolTip : QString());
    setListCommandsEnabled(any);
}

// ---- Selection ---------------------------------------------------------------

void MainWindow::selectRow() {
    const int row = highlightedRow();
    if (row < 0)
        return;
    model_->setMarked(row, true);
    ui_->runButton->setEnabled(true);
}

void MainWindow::deselectRow() {
    WaitCursor wait;
    ui_->runButton->setEnabled(false);
    if (const int row = highlightedRow(); row >= 0)
        model_->setMarked(row, false);
    updateRunButton();
}

void MainWindow::selectAll() {
    WaitCursor wait;
    model_->setAllMarked(true);
    updateRunButton();
}

void MainWindow::deselectAll() {
    WaitCursor wait;
    model_->setAllMarked(false);
    ui_->runButton->setEnabled(false);
}

void MainWindow::selectOpposite() {
    WaitCursor wait;
    model_->invertMarks();
    updateRunButton();
}

void MainWindow::openAdvancedSelect() {
    auto* dialog = new AdvancedSelectDialog(settings_.lastFileSpec, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this,
            [this, dialog] { applyAdvancedSelect(dialog->selection()); });
    dialog->open();
}

void MainWindow::applyAdvancedSelect(const AdvancedSelection& selection) {
    WaitCursor wait;
    if (selection.deselectFirst)
        model_->setAllMarked(false);
    if (selection.mode == AdvancedSelection::Mode::Pattern) {
        settings_.lastFileSpec = selection.pattern;
        const QString& folder = settings_.scriptFilePath;
        const QDir dir(folder.isEmpty() ? QString(kPathSeparator) : folder);
        for (const QString& name :
             dir.entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name)) {
            if (!MatchWildcard(selection.pattern, name, Qt::CaseInsensitive))
                continue;
            for (int row = 0; row < model_->rowCount(); ++row) {
                if (model_->row(row).fileName.compare(name, Qt::CaseInsensitive) == 0)
                    model_->setMarked(row, true);
            }
        }
    } else {
        const QString& type =
            selection.mode == AdvancedSelection::Mode::Zip ? kZipType : kUnzipType;
        for (int row = 0; row < model_->rowCount(); ++row) {
            if (model_->row(row).type == type)
                model_->setMarked(row, true);
        }
    }
    updateRunButton();
}

// ---- Closing and the tray ------------------------------------------------------

void MainWindow::closeEvent(QCloseEvent* event) {
    if (scriptRunning()) {
        event->ignore();
        return;
    }
    tray_->hide();
    placement_->save();
    event->accept();
    emit closed();
}

void MainWindow::setUpTray() {
    trayMenu_ = new QMenu(QStringLiteral("Popup"), this);
    trayMenu_->setObjectName(QStringLiteral("trayMenu"));
    QAction* restore = trayMenu_->addAction(QStringLiteral("Restore"));
    restore->setObjectName(QStringLiteral("trayRestoreItem"));
    QAction* closeItem = trayMenu_->addAction(QStringLiteral("Close"));
    closeItem->setObjectName(QStringLiteral("trayCloseItem"));
    connect(restore, &QAction::triggered, this, &MainWindow::restoreFromTray);
    connect(closeItem, &QAction::triggered, this, [this] { close(); });

    tray_ = new QSystemTrayIcon(windowIcon(), this);
    tray_->setObjectName(QStringLiteral("trayIcon"));
    tray_->setContextMenu(trayMenu_);
    tray_->setToolTip(QStringLiteral("Tarvik"));
    connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        if (r == QSystemTrayIcon::Trigger)
            restoreFromTray();
    });
    tray_->show();
}

void MainWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !isMinimized())
        return;
    // Without a tray nothing could bring a hidden window back: it stays a
    // normal minimised window then.
    if (!tray_ || !tray_->isVisible() || !trayAvailable_())
        return;
    stateBeforeTray_ =
        static_cast<QWindowStateChangeEvent*>(event)->oldState() & ~Qt::WindowMinimized;
    // Hiding inside the state change itself confuses some window managers.
    QTimer::singleShot(0, this, [this] {
        if (isMinimized())
            hide();
    });
}

void MainWindow::restoreFromTray() {
    if (isHidden() || isMinimized()) {
        setWindowState((windowState() & ~Qt::WindowMinimized) | stateBeforeTray_);
        show();
    }
    raise();
    activateWindow();
}

} // namespace tarvik
