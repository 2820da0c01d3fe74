#pragma once

#include "platform/ScriptedDialogService.h"
#include "storage/ProfileFile.h"
#include "storage/ProgramSettings.h"
#include "ui/editors/EditorContext.h"
#include "ui/editors/ZipScriptEditor.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

// What the editor did to the main window's list, in order.
struct RecordingList final : tarvik::ScriptListAccess {
    QStringList calls;
    void addRow(const QString& file, const QString& type, const QString& description) override {
        calls.append(QStringLiteral("add ") + file + u'|' + type + u'|' + description);
    }
    void setSelectedFileName(const QString& file) override {
        calls.append(QStringLiteral("name ") + file);
    }
    void setSelectedDescription(const QString& description) override {
        calls.append(QStringLiteral("description ") + description);
    }
};

// Answers through the scripted service and notes, for each message box,
// whether the busy pointer was up while it showed.
struct PointerWatch final : tarvik::DialogService {
    ScriptedDialogService& scripted;
    QList<bool> busyAtMessage;
    explicit PointerWatch(ScriptedDialogService& s) : scripted(s) {}
    tarvik::MessageAnswer showMessage(QWidget* p, const tarvik::MessageRequest& r) override {
        busyAtMessage.append(QGuiApplication::overrideCursor() != nullptr);
        return scripted.showMessage(p, r);
    }
    std::optional<QString> askText(QWidget* p, const QString& prompt, const QString& title,
                                   const QString& text) override {
        return scripted.askText(p, prompt, title, text);
    }
    void beep() override { scripted.beep(); }
    QString chooseFile(QWidget* p, const QString& title, const QString& start,
                       const QString& filter) override {
        return scripted.chooseFile(p, title, start, filter);
    }
    QString chooseFolder(QWidget* p, const QString& title, const QString& start) override {
        return scripted.chooseFolder(p, title, start);
    }
};

// A script folder of its own, scripted dialogs and a recording list, for the
// editor window Form (constructed from the context, adding, and the file).
template <class Form> struct EditorFixtureFor {
    QTemporaryDir root;
    tarvik::ProgramSettings settings;
    ScriptedDialogService dialogs;
    PointerWatch pointer{dialogs};
    RecordingList list;
    std::unique_ptr<Form> form;

    EditorFixtureFor() {
        QDir(root.path()).mkpath(QStringLiteral("scripts"));
        settings.scriptFilePath = root.filePath(QStringLiteral("scripts"));
        settings.lastFolder = root.path();
    }

    QString scriptPath(const QString& name) const { return settings.scriptFilePath + u'/' + name; }
    // Written by hand, as another program would have left it.
    void writeScript(const QString& name, const QStringList& lines) const {
        QFile f(scriptPath(name));
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write((QStringLiteral("[Options]\r\n") + lines.join(QStringLiteral("\r\n")) +
                     QStringLiteral("\r\n"))
                        .toUtf8());
    }
    QString key(const QString& name, const char* key) const {
        return tarvik::ReadIni(QStringLiteral("Options"), QString::fromLatin1(key),
                               QStringLiteral("<none>"), scriptPath(name));
    }
    // The file's "key=value" lines in order, without the section line.
    QStringList scriptLines(const QString& name) const {
        QFile f(scriptPath(name));
        if (!f.open(QIODevice::ReadOnly))
            return {QStringLiteral("<missing>")};
        QStringList lines = QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n"));
        lines.removeAll(QString());
        lines.removeAll(QStringLiteral("[Options]"));
        return lines;
    }

    Form& open(bool adding, const QString& file = {}) {
        form = std::make_unique<Form>(tarvik::EditorContext{settings, pointer, list}, adding, file);
        form->show();
        QApplication::setActiveWindow(form.get());
        return *form;
    }

    template <class T> T* find(const char* name) const {
        return form->template findChild<T*>(QString::fromLatin1(name));
    }
    QPushButton* button(const char* name) const { return find<QPushButton>(name); }
    void click(const char* name) const { QTest::mouseClick(button(name), Qt::LeftButton); }
    void setText(const char* name, const QString& text) const {
        find<QLineEdit>(name)->setText(text);
    }
    QString status() const { return find<QPlainTextEdit>("messagesBox")->toPlainText(); }
    bool saveEnabled() const { return button("saveButton")->isEnabled(); }
    // "text" or "text [X]" for a line with its delete mark.
    QStringList lines(const char* name) const {
        QStringList texts;
        const auto* w = find<QListWidget>(name);
        for (int row = 0; row < w->count(); ++row)
            texts.append(w->item(row)->text() + (w->item(row)->checkState() == Qt::Checked
                                                     ? QStringLiteral(" [X]")
                                                     : QString()));
        return texts;
    }
    // Adds file specs and directories through the pickers, as a user would.
    void addSpecs(const QStringList& specs) {
        for (const QString& spec : specs) {
            dialogs.picks.append(spec);
            dialogs.answers.append(tarvik::MessageAnswer::No);
            click("addFileSpecButton");
        }
    }
    void addDirs(const QStringList& dirs) {
        for (const QString& dir : dirs) {
            dialogs.picks.append(dir);
            click("addDirectoryButton");
        }
    }
    // Runs `inModal` against the next modal window once it is open.
    static void whenModalOpens(std::function<void(QWidget*)> inModal) {
        QTimer::singleShot(
            0, [inModal = std::move(inModal)] { inModal(QApplication::activeModalWidget()); });
    }
};

using EditorFixture = EditorFixtureFor<tarvik::ZipScriptEditor>;
