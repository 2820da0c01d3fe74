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
    bool open(const QString& path) override {
        opened << path;
        return starts;
    }
};

// The main window in a program folder of its own (scripts, log, src with
// data.txt, out, tmp); a name with a '/' is below %r, any other in the script
// folder. Its own steps, besides UiFixture's:
//   +name   a zip script of src/data.txt into out, or an unzip script of
//           src/in.zip into out/<name>;  -* removes the script folder
//   notray noviewer fsize   no tray, no text viewer, an 8-byte file size limit
//   open close min max look tray:click tray:menu   the window and its tray
//           icon; look notes how the window shows
//   @name @@name ~ col:N   click, double-click a row; no current row; click a
//           column's header
//   hold held go wait   scripts stop at their first time stamp; wait until one
//           does; let them go; wait until none runs
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
        for (const char* sub : {"scripts", "log", "src", "out", "tmp"})
            QDir(root.path()).mkpath(QString::fromLatin1(sub));
        settings.scriptFilePath = path({}).chopped(1);
        settings.errorFilePath = root.filePath(u"log"_s);
        settings.programFolder = root.path();
        settings.helpFile = root.filePath(u"faq.fil"_s);
        append(u"src/data.txt"_s, {u"payload"_s});
        ::getrlimit(RLIMIT_FSIZE, &limit);
    }
    ~WindowFixture() override {
        holding = false;
        gate.release(1000);
        form.reset();
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    QWidget* window() const override { return form.get(); }
    QString path(const QString& name) const override {
        return root.filePath(name.contains(u'/') ? name : u"scripts/"_s + name);
    }
    QTreeView* list() const { return form->findChild<QTreeView*>(); }
    QString box() const { return form->findChild<QPlainTextEdit*>()->toPlainText(); }

    bool own(const QString& s) override {
        const QString head = s.section(u':', 0, 0), out = root.filePath(u"out"_s);
        QHeaderView* header = form ? list()->header() : nullptr;
        if (s.startsWith(u'+') && s.endsWith(u".usc", Qt::CaseInsensitive))
            append(s.mid(1), {u"ZipFile="_s + root.filePath(u"src/in"_s), u"File1=*.*"_s,
                              u"Dir1="_s + out + u'/' + s.mid(1)});
        else if (s.startsWith(u'+'))
            append(s.mid(1), {u"File1="_s + root.filePath(u"src/data.txt"_s),
                              u"ZipFile="_s + QFileInfo(s).completeBaseName(), u"Dir1="_s + out});
        else if (s == u"-*")
            QDir(path({})).removeRecursively();
        else if (s == u"open")
            open();
        else if (s == u"notray" || s == u"noviewer")
            (s == u"notray" ? tray : viewer.starts) = false;
        else if (s == u"fsize") {
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit tiny{8, limit.rlim_max};
            ::setrlimit(RLIMIT_FSIZE, &tiny);
        } else if (s == u"close")
            form->close();
        else if (s == u"min" || s == u"max") {
            s == u"min" ? form->showMinimized() : form->showMaximized();
            QCoreApplication::processEvents();
        } else if (s == u"rows")
            seen << rows();
        else if (s == u"look")
            seen << u"look:"_s + looks();
        else if (head == u"tray")
            emit form->findChild<QSystemTrayIcon*>()->activated(
                s.endsWith(u"click") ? QSystemTrayIcon::Trigger : QSystemTrayIcon::Context);
        else if (s.startsWith(u'@'))
            clickRow(QString(s).remove(u'@'), s.startsWith(u"@@"));
        else if (s == u"~")
            list()->selectionModel()->clear();
        else if (head == u"col")
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                              {header->sectionViewportPosition(s.mid(4).toInt()) + 10, 5});
        else if (s == u"hold") {
            gate.tryAcquire(gate.available());
            holding = true;
        } else if (s == u"go") {
            holding = false;
            gate.release(1000);
        } else if (s == u"held" || s == u"wait") {
            for (int i = 0; i < 6000 && (s == u"held" ? held == 0 : form->scriptRunning()); ++i)
                QTest::qWait(10);
        } else
            return false;
        return true;
    }

    void open() {
        tarvik::MainWindowOptions options;
        options.tempFolder = root.filePath(u"tmp"_s);
        options.clock = [this] {
            // A run stops here, on the worker thread, while held.
            if (holding && QThread::currentThread() != qApp->thread()) {
                ++held;
                gate.acquire();
                --held;
            }
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
    void clickRow(const QString& name, bool twice) const {
        const auto found =
            list()->model()->match(list()->model()->index(0, 1), Qt::DisplayRole, name, 1,
                                   Qt::MatchFixedString | Qt::MatchCaseSensitive);
        const QPoint at = list()->visualRect(found.value(0)).center();
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, at);
        if (twice)
            QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, at);
    }
    QString looks() const {
        const QStringList l{form->isVisible() ? QString() : u" hidden"_s,
                            form->isMinimized() ? u" minimized"_s : QString(),
                            form->isMaximized() ? u" maximized"_s : QString(),
                            form->findChild<QSystemTrayIcon*>()->isVisible() ? QString()
                                                                             : u" no tray icon"_s};
        return l.join(QString());
    }

    // ">" the current row, "*" marked, the file, "(description)", "~" run before,
    // "!" error marker, "?" a type other than its ending's; then Run when the
    // button can be pressed.
    QString rows() const {
        using enum tarvik::ScriptColumn;
        QStringList rows;
        const QAbstractItemModel* m = list()->model();
        for (int r = 0; r < m->rowCount(); ++r) {
            const auto cell = [&](int c) { return m->index(r, c).data().toString(); };
            const QString file = cell(kFileNameColumn), about = cell(kDescriptionColumn);
            const QString type =
                file.endsWith(u".zsc", Qt::CaseInsensitive) ? u"Zip"_s : u"Unzip"_s;
            rows << (list()->currentIndex().row() == r ? u">"_s : QString()) +
                        (cell(kMarkerColumn).isEmpty() ? QString() : u"*"_s) + file +
                        (about.isEmpty() ? QString() : u'(' + about + u')') +
                        (cell(kLastRunColumn).isEmpty() ? QString() : u"~"_s) +
                        (cell(kErrorColumn).isEmpty() ? QString() : u"!"_s) +
                        (cell(kTypeColumn) == type ? QString() : u"?"_s);
        }
        const auto* run = form->findChild<QPushButton*>(u"runButton"_s);
        rows.prepend(u"rows:"_s);
        return rows.join(u' ') + (run->isVisible() && run->isEnabled() ? u" Run"_s : QString());
    }
    // What shows after the steps: the dialogs, what the steps noted, the rows,
    // the scripts added or gone, the System Messages lines once they change,
    // the viewer, the progress bar, the window and the sort marker.
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
        const auto image = [](const QIcon& icon) { return icon.pixmap(12).toImage(); };
        for (int c = 0; c < tarvik::kScriptColumnCount; ++c) {
            const QImage shown = image(
                list()->model()->headerData(c, Qt::Horizontal, Qt::DecorationRole).value<QIcon>());
            for (const QString& way : {u"up"_s, u"down"_s})
                if (!shown.isNull() && shown == image(QIcon(u":/tarvik/sort-"_s + way + u".png"_s)))
                    facts << u"sorted %1 "_s.arg(c) + way;
        }
        return facts;
    }
};
