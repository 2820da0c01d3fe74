#pragma once

#include "ui/UiFixture.h"

#include "storage/ProgramSettings.h"
#include "ui/editors/EditorContext.h"
#include "ui/editors/EmailSettingsDialog.h"
#include "ui/editors/UnzipScriptEditor.h"
#include "ui/editors/ZipScriptEditor.h"
#include "ui/options/OptionsDialog.h"

// What an editor did to the main window's list, in order.
struct RecordingList final : tarvik::ScriptListAccess {
    QStringList calls;
    void addRow(const QString& file, const QString& type, const QString& description) override {
        calls << u"list: add "_s + file + u'|' + type + u'|' + description;
    }
    void setSelectedFileName(const QString& file) override { calls << u"list: name "_s + file; }
    void setSelectedDescription(const QString& text) override {
        calls << u"list: description "_s + text;
    }
};

// The script editors, the e-mail settings and the options screen in a folder
// of their own that holds the scripts and the settings file tarvik.ini. Its
// own steps: zip unzip zip:name unzip:name email:name options open that
// screen, on a new script or a file (the e-mail settings with /d1 and /d2);
// set:field=value sets zipFile, zipScriptFile or unzipScriptFile.
struct EditorFixture : UiFixture {
    tarvik::ProgramSettings settings;
    RecordingList list;
    std::unique_ptr<QDialog> form;
    bool started = false;

    EditorFixture() {
        for (QString* folder :
             {&settings.scriptFilePath, &settings.programFolder, &settings.errorFilePath,
              &settings.lastFolder, &settings.defaultScriptFolder})
            *folder = root.path();
        settings.defaultLogFolder = root.filePath(u"state"_s); // as an installed copy's
    }
    QWidget* window() const override { return form.get(); }
    QString path(const QString& name) const override { return root.filePath(name); }

    bool own(const QString& s) override {
        const QString head = s.section(u':', 0, 0), arg = s.section(u':', 1);
        const tarvik::EditorContext context{settings, dialogs, list};
        const QHash<QString, QString*> fields{{u"zipFile"_s, &settings.zipFile},
                                              {u"zipScriptFile"_s, &settings.zipScriptFile},
                                              {u"unzipScriptFile"_s, &settings.unzipScriptFile}};
        if (head == u"set")
            *fields.value(arg.section(u'=', 0, 0)) = arg.section(u'=', 1);
        if (!QStringList{u"zip"_s, u"unzip"_s, u"email"_s, u"options"_s}.contains(head))
            return head == u"set";
        if (!std::exchange(started, true)) // the files as they were before any screen
            before = files(), opened = arg;
        if (head == u"zip")
            form = std::make_unique<tarvik::ZipScriptEditor>(context, arg.isEmpty(), arg);
        else if (head == u"unzip")
            form = std::make_unique<tarvik::UnzipScriptEditor>(context, arg.isEmpty(), arg);
        else if (head == u"email")
            form = std::make_unique<tarvik::EmailSettingsDialog>(dialogs, path(arg),
                                                                 QStringList{u"/d1"_s, u"/d2"_s});
        else
            form =
                std::make_unique<tarvik::OptionsDialog>(settings, dialogs, path(u"tarvik.ini"_s));
        form->show();
        QApplication::setActiveWindow(form.get());
        return true;
    }

    // What shows: the dialogs, what the steps noted, what the list was told,
    // the screen's messages, Save when it can be pressed or how the screen
    // closed, the files written or gone, where the pickers start next.
    QStringList observe() {
        QStringList facts = dialogs.events + seen + list.calls;
        if (auto* box = form->findChild<QPlainTextEdit*>(u"messagesBox"_s);
            box && !box->toPlainText().isEmpty())
            facts << u"status: "_s + box->toPlainText();
        if (!form->isVisible())
            facts << (form->result() == QDialog::Accepted ? u"accepted"_s : u"closed"_s);
        else if (form->findChild<QAbstractButton*>(u"saveButton"_s)->isEnabled())
            facts << u"Save"_s;
        facts << changes(true);
        if (settings.lastFolder != root.path())
            facts << u"lastFolder="_s + settings.lastFolder;
        return facts;
    }
};
