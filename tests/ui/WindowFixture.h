#pragma once

#include "ui/UiFixture.h"

#include "platform/TextViewer.h"
#include "ui/main/MainWindow.h"

#include <atomic>
#include <csignal>
#include <sys/resource.h>

// Records the files the window would show in the text viewer.
struct RecordingViewer final : tarvik::TextViewer {
    QStringList opened;
    bool starts = true; // false: as on a desktop without a viewer
    bool open(const QString& path) override { return opened << path, starts; }
};

// The main window in a program folder of its own (scripts, log, src with
// data.txt, out, tmp); a name with a '/' is below %r, others in the script
// folder. Its own steps:
//   +name  a zip script of src/data.txt into out, or an unzip script of
//          src/in.zip into out/<name>;  -* removes the script folder
//   notray noviewer fsize  no tray, no text viewer, an 8-byte file size limit
//   open close min max look tray:click tray:menu  the window, noted how it
//          shows, and its tray icon;  rows  notes the rows
//   @name @@name ~ col:N  click, double-click a row; no current row; a header
//   hold held go wait  scripts stop at their first time stamp; wait until one
//          does; let them go; wait until none runs
struct WindowFixture : UiFixture {
    tarvik::ProgramSettings settings;
    RecordingViewer viewer;
    std::unique_ptr<tarvik::MainWindow> form;
    bool tray = true;
    QSemaphore gate;
    std::atomic<bool> holding = false;
    std::atomic<int> held = 0;
    rlimit limit{};
    QString welcome;
    QStringList bar;

    WindowFixture() {
        // Offscreen there is no tray, and Qt says so for every tray icon.
        QLoggingCategory::setFilterRules(u"qt.core.qobject.connect.warning=false"_s);
        for (const char* sub : {"scripts", "log", "out", "tmp"})
            QDir(root.path()).mkpath(QString::fromLatin1(sub));
        settings.scriptFilePath = path({}).chopped(1);
        settings.errorFilePath = root.filePath(u"log"_s);
        settings.programFolder = root.path();
        settings.helpFile = root.filePath(u"faq.fil"_s);
        append(u"src/data.txt"_s, {u"payload"_s});
        ::getrlimit(RLIMIT_FSIZE, &limit);
    }
    ~WindowFixture() override {
        own(u"go"_s);
        form.reset();
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    QWidget* window() const override { return form.get(); }
    QString path(const QString& name) const override {
        return root.filePath(name.contains(u'/') ? name : u"scripts/"_s + name);
    }
    QTreeView* list() const { return form->findChild<QTreeView*>(); }
    QString box() const { return form->findChild<QPlainTextEdit*>()->toPlainText(); }
    QString looks() const {
        return QStringList{form->isVisible() ? QString() : u" hidden"_s,
                           form->isMinimized() ? u" minimized"_s : QString(),
                           form->isMaximized() ? u" maximized"_s : QString(),
                           form->findChild<QSystemTrayIcon*>()->isVisible() ? QString()
                                                                            : u" no tray icon"_s}
            .join(QString());
    }

    bool own(const QString& s) override {
        const QString out = root.filePath(u"out"_s), name = s.mid(1);
        const rlimit tiny{8, limit.rlim_max};
        const auto until = [&](auto done, const QString& late) {
            if (!QTest::qWaitFor(done, 60000))
                seen << late;
        };
        const QHash<QString, std::function<void()>> plain{
            {u"open"_s, [&] { open(); }},
            {u"-*"_s, [&] { QDir(path({})).removeRecursively(); }},
            {u"notray"_s, [&] { tray = false; }},
            {u"noviewer"_s, [&] { viewer.starts = false; }},
            {u"fsize"_s, [&] { std::signal(SIGXFSZ, SIG_IGN), ::setrlimit(RLIMIT_FSIZE, &tiny); }},
            {u"close"_s, [&] { form->close(); }},
            {u"min"_s, [&] { form->showMinimized(), QCoreApplication::processEvents(); }},
            {u"max"_s, [&] { form->showMaximized(); }},
            {u"look"_s, [&] { seen << u"look:"_s + looks(); }},
            {u"rows"_s, [&] { seen << rows(); }},
            {u"~"_s, [&] { list()->selectionModel()->clear(); }},
            {u"hold"_s, [&] { gate.tryAcquire(gate.available()), holding = true; }},
            {u"go"_s, [&] { holding = false, gate.release(1000); }},
            {u"held"_s, [&] { until([&] { return held > 0; }, u"never held"_s); }},
            {u"wait"_s,
             [&] { until([&] { return !form->scriptRunning(); }, u"still running"_s); }}};
        if (plain.contains(s))
            plain[s]();
        else if (s.startsWith(u'+') && s.endsWith(u".usc", Qt::CaseInsensitive))
            append(name, u"ZipFile=%1/src/in;File1=*.*;Dir1=%2/%3"_s.arg(root.path(), out, name)
                             .split(u';'));
        else if (s.startsWith(u'+'))
            append(name, u"File1=%1/src/data.txt;Dir1=%2;ZipFile=%3"_s
                             .arg(root.path(), out, QFileInfo(name).completeBaseName())
                             .split(u';'));
        else if (s.startsWith(u"tray:"))
            emit form->findChild<QSystemTrayIcon*>()->activated(
                s.endsWith(u"click") ? QSystemTrayIcon::Trigger : QSystemTrayIcon::Context);
        else if (s.startsWith(u"col:"))
            QTest::mouseClick(list()->header()->viewport(), Qt::LeftButton, {},
                              {list()->header()->sectionViewportPosition(s.mid(4).toInt()) + 9, 5});
        else if (s.startsWith(u'@')) {
            const QModelIndexList found =
                list()->model()->match(list()->model()->index(0, 1), Qt::DisplayRole,
                                       QString(s).remove(u'@'), 1, Qt::MatchExactly);
            const QPoint at = list()->visualRect(found.value(0)).center();
            QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, at);
            if (s.startsWith(u"@@"))
                QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, at);
        } else
            return false;
        return true;
    }
    void open() {
        tarvik::MainWindowOptions options;
        options.tempFolder = root.filePath(u"tmp"_s);
        options.clock = [this] {
            // A run stops here, on the worker thread, while held.
            if (holding && QThread::currentThread() != qApp->thread())
                ++held, gate.acquire(), --held;
            return QDateTime::fromString(kStamp, u"yyyy/MM/dd HH:mm:ss"_s);
        };
        options.trayAvailable = [this] { return tray; };
        options.viewer = &viewer;
        options.settingsFile = root.filePath(u"tarvik.ini"_s);
        form = std::make_unique<tarvik::MainWindow>(settings, dialogs, options);
        QObject::connect(form.get(), &tarvik::MainWindow::closed, [this] { seen << u"closed"_s; });
        QObject::connect(form->findChild<QProgressBar*>(), &QProgressBar::valueChanged,
                         [this](int value) { bar << QString::number(value); });
        form->show();
        QApplication::setActiveWindow(form.get());
        welcome = box();
        before = files();
    }

    // "rows:", each ">" current, "*" marked, the file, "(description)", "~"
    // run before, "!" error marker, "?" a type not its ending's; "Run" when
    // the button can be pressed.
    QString rows() const {
        using enum tarvik::ScriptColumn;
        QStringList rows{u"rows:"_s};
        const QAbstractItemModel* m = list()->model();
        for (int r = 0; r < m->rowCount(); ++r) {
            const auto cell = [&](int c) { return m->index(r, c).data().toString(); };
            const QString about = cell(kDescriptionColumn);
            const bool zip = cell(kFileNameColumn).endsWith(u".zsc", Qt::CaseInsensitive);
            rows << (list()->currentIndex().row() == r ? u">"_s : QString()) +
                        (cell(kMarkerColumn).isEmpty() ? QString() : u"*"_s) +
                        cell(kFileNameColumn) +
                        (about.isEmpty() ? QString() : u'(' + about + u')') +
                        (cell(kLastRunColumn).isEmpty() ? QString() : u"~"_s) +
                        (cell(kErrorColumn).isEmpty() ? QString() : u"!"_s) +
                        (cell(kTypeColumn) == (zip ? u"Zip"_s : u"Unzip"_s) ? QString() : u"?"_s);
        }
        const auto* run = form->findChild<QPushButton*>(u"runButton"_s);
        return rows.join(u' ') + (run->isVisible() && run->isEnabled() ? u" Run"_s : QString());
    }
    // What shows: the dialogs, what the steps noted, the rows, the scripts
    // copied, added or gone, the System Messages lines once changed, the
    // viewer, the progress bar and the window.
    QStringList observe() {
        ::setrlimit(RLIMIT_FSIZE, &limit);
        QStringList facts = dialogs.events + seen + QStringList{rows()} + changes(false);
        for (const QString& line : box() == welcome ? QStringList() : box().split(u'\n'))
            facts << u'|' + line;
        for (const QString& file : viewer.opened)
            facts << u"viewed "_s + file;
        if (!bar.isEmpty())
            facts << u"bar "_s + bar.join(u' ');
        if (!looks().isEmpty())
            facts << looks().mid(1);
        return facts;
    }
};
