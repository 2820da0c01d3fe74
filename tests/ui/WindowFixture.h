#pragma once

#include "platform/ScriptedDialogService.h"
#include "platform/TextViewer.h"
#include "storage/ProfileFile.h"
#include "ui/main/MainWindow.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QLoggingCategory>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <functional>
#include <memory>

// Records the files the window would show in the text viewer.
struct RecordingViewer final : tarvik::TextViewer {
    QStringList opened;
    bool starts = true; // false: as on a desktop without a viewer
    bool open(const QString& path) override {
        opened.append(path);
        return starts;
    }
};

// A program folder of its own for the main window (scripts, log, sources,
// targets, temporary folder), a clock stuck at kStamp and a
// scripted dialog service.
struct WindowFixture {
    QTemporaryDir root;
    tarvik::ProgramSettings settings;
    ScriptedDialogService dialogs;
    RecordingViewer viewer;
    std::unique_ptr<tarvik::MainWindow> form;
    bool trayAvailable = false;

    static inline const QString kStamp = QStringLiteral("2004/03/15 14:07:09");

    WindowFixture() {
        // Offscreen there is no tray, and Qt says so for every tray icon.
        QLoggingCategory::setFilterRules(QStringLiteral("qt.core.qobject.connect.warning=false"));
        for (const char* sub : {"scripts", "log", "src", "out", "tmp"})
            QDir(root.path()).mkpath(QString::fromLatin1(sub));
        settings.scriptFilePath = path("scripts");
        settings.errorFilePath = path("log");
        settings.programFolder = root.path();
        settings.helpFile = root.filePath(QStringLiteral("faq.fil"));
        writeFile("src/data.txt", "payload");
    }

    QString path(const char* relative) const { return root.filePath(QString::fromUtf8(relative)); }
    QString scriptPath(const QString& name) const { return settings.scriptFilePath + u'/' + name; }
    void writeFile(const char* relative, const QByteArray& content) const {
        QFile f(path(relative));
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write(content);
    }
    void setKeys(const QString& name, const QList<QPair<QString, QString>>& keys) const {
        for (const auto& [key, value] : keys)
            tarvik::WriteIni(QStringLiteral("Options"), key, value, scriptPath(name));
    }
    QString key(const QString& name, const char* key) const {
        return tarvik::ReadIni(QStringLiteral("Options"), QString::fromLatin1(key), {},
                               scriptPath(name));
    }
    // A zip script of src/data.txt into out/<base>.zip; without `dir` the
    // runner aborts it (no directory to copy into).
    void zipScript(const QString& name, const QList<QPair<QString, QString>>& extra = {},
                   bool dir = true) const {
        setKeys(name, {{QStringLiteral("File1"), path("src/data.txt")},
                       {QStringLiteral("ZipFile"), QFileInfo(name).completeBaseName()}});
        if (dir)
            setKeys(name, {{QStringLiteral("Dir1"), path("out")}});
        setKeys(name, extra);
    }
    // An unzip script of src/in.zip into out/<name>.
    void unzipScript(const QString& name, const QList<QPair<QString, QString>>& extra = {}) const {
        setKeys(name, {{QStringLiteral("ZipFile"), path("src/in")},
                       {QStringLiteral("File1"), QStringLiteral("*.*")},
                       {QStringLiteral("Dir1"), path("out") + u'/' + name}});
        setKeys(name, extra);
    }

    tarvik::MainWindow& open() {
        tarvik::MainWindowOptions options;
        options.tempFolder = path("tmp");
        options.clock = [] { return QDateTime(QDate(2004, 3, 15), QTime(14, 7, 9)); };
        options.trayAvailable = [tray = trayAvailable] { return tray; };
        options.viewer = &viewer;
        options.settingsFile = path("tarvik.ini");
        form = std::make_unique<tarvik::MainWindow>(settings, dialogs, options);
        form->show();
        activate(form.get());
        return *form;
    }
    // Offscreen nothing activates a window by itself; the user's click would.
    static void activate(QWidget* window) { QApplication::setActiveWindow(window); }

    // Runs `act` on the next modal dialog other than `previous` once it shows
    // (its exec() is then running); returns at once. Gives up after 5 s.
    static void whenModal(std::function<void(QDialog*)> act, QWidget* previous = nullptr) {
        auto* timer = new QTimer;
        auto ticks = std::make_shared<int>(0);
        QObject::connect(timer, &QTimer::timeout, [timer, act, previous, ticks] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            const bool found = dialog && dialog != previous && dialog->isVisible();
            if (!found && ++*ticks < 1000)
                return;
            timer->stop();
            timer->deleteLater();
            if (found)
                act(dialog);
        });
        timer->start(5);
    }

    template <class T> T* find(const char* name) const {
        return form->findChild<T*>(QString::fromLatin1(name));
    }
    QPushButton* button(const char* name) const { return find<QPushButton>(name); }
    QTreeView* list() const { return find<QTreeView>("scriptList"); }
    QString messages() const { return find<QPlainTextEdit>("messagesBox")->toPlainText(); }
    QString cell(int row, int column) const {
        return list()->model()->index(row, column).data().toString();
    }
    QStringList column(int column) const {
        QStringList texts;
        for (int row = 0; row < list()->model()->rowCount(); ++row)
            texts.append(cell(row, column));
        return texts;
    }
    int rowOf(const QString& fileName) const { return int(column(1).indexOf(fileName)); }

    void clickRow(int row, bool twice = false) const {
        const QPoint at = list()->visualRect(list()->model()->index(row, 1)).center();
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, at);
        if (twice)
            QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, at);
    }
    void click(const char* name) const { QTest::mouseClick(button(name), Qt::LeftButton); }
    void key(int key, Qt::KeyboardModifiers modifiers = {}) const {
        activate(form.get());
        QTest::keyClick(form.get(), Qt::Key(key), modifiers);
    }
    void mark(const QStringList& names) const {
        for (const QString& name : names) {
            clickRow(rowOf(name));
            click("selectButton");
        }
    }
    // The list's file names whose row carries the selection marker.
    QStringList marked() const {
        QStringList names;
        for (int row = 0; row < list()->model()->rowCount(); ++row) {
            if (cell(row, 0) == u"X")
                names.append(cell(row, 1));
        }
        return names;
    }
};
