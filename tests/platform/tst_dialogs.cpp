// What a user meets in dialogs: real message boxes answered from the keyboard,
// pickers that start where the last one ended, file filters, list widths.
#include "platform/ListWidth.h"
#include "platform/Pickers.h"
#include "platform/QtDialogService.h"
#include "platform/ScriptedDialogService.h"
#include "storage/ProgramSettings.h"
#include "storage/TestFiles.h"

#include <QApplication>
#include <QComboBox>
#include <QListWidget>
#include <QMessageBox>
#include <QTimer>

using namespace tarvik;
using namespace Qt::StringLiterals;
using enum MessageAnswer;

namespace {
using I = MessageIcon;
using B = MessageButtons;
// icon, buttons, default, key pressed -> icon shown, answer
const std::tuple<const char*, I, B, MessageAnswer, Qt::Key, int, MessageAnswer> kBoxes[] = {
    {"exclamation, Enter", I::Exclamation, B::Ok, Ok, Qt::Key_Return, QMessageBox::Warning, Ok},
    {"question, Enter: the default No", I::Question, B::YesNo, No, Qt::Key_Return,
     QMessageBox::Question, No},
    {"question, Esc: No, not the default", I::Question, B::YesNo, Yes, Qt::Key_Escape,
     QMessageBox::Question, No},
    {"ok-cancel, Esc: Cancel", I::Information, B::OkCancel, Ok, Qt::Key_Escape,
     QMessageBox::Information, Cancel},
};

const std::tuple<const char*, QString, QString> kFilters[] = {
    {"all files, trailing bar", u"All Files (*.*)|*.*|"_s, u"All Files (*)"_s},
    {"two pairs, any case", u"Text|*.txt;*.fil|All|*.*"_s,
     u"Text (*.[tT][xX][tT] *.[fF][iI][lL]);;All (*)"_s},
    {"no pattern", u"Anything|"_s, u"Anything (*)"_s},
};

// A pick starts at LastFolder, which then becomes the chosen file's folder;
// cancelling keeps it. folder pick?, answer -> result, LastFolder
const std::tuple<const char*, bool, QString, QString, QString> kPicks[] = {
    {"file, trimmed and cut at NUL", false, u" /d/a b.zip\0junk "_s, u"/d/a b.zip"_s, u"/d"_s},
    {"file cancelled", false, {}, {}, u"/start"_s},
    {"folder", true, u"/srv/b"_s, u"/srv/b"_s, u"/srv/b"_s},
    {"folder cancelled", true, {}, {}, u"/start"_s},
};
} // namespace

class DialogsTest : public QObject {
    Q_OBJECT
private slots:
    void messageBox_data() { addRows(kBoxes); }
    void messageBox();
    void errorBeepsFirst();
    void filter_data() { addRows(kFilters); }
    void filter() {
        QCOMPARE(QtFileFilter(std::get<1>(rowOf(kFilters))), std::get<2>(rowOf(kFilters)));
    }
    void pick_data() { addRows(kPicks); }
    void pick();
    void listWidths();
};

void DialogsTest::messageBox() {
    const auto& [name, icon, buttons, byDefault, key, shown, answer] = rowOf(kBoxes);
    const MessageRequest request{u"Script file /s/a.zsc does not exist."_s, icon, buttons,
                                 byDefault};
    const Qt::Key pressed = key;
    QStringList seen;
    QTimer poll;
    connect(&poll, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            poll.stop();
            seen = {box->windowTitle(), box->text(), QString::number(box->icon())};
            QTest::keyClick(box, pressed);
        }
    });
    poll.start(10);
    QCOMPARE(QtDialogService().showMessage(nullptr, request), answer);
    QCOMPARE(seen, (QStringList{u"Tarvik"_s, request.text, QString::number(shown)}));
}

void DialogsTest::errorBeepsFirst() {
    ScriptedDialogService service;
    service.reportError(nullptr, u"x"_s);
    QCOMPARE(service.events, (QStringList{u"beep"_s, u"message: x"_s}));
    QCOMPARE(service.messages[0].icon, MessageIcon::Exclamation);
}

void DialogsTest::pick() {
    const auto& [name, folder, answer, result, lastFolder] = rowOf(kPicks);
    ScriptedDialogService dialogs;
    dialogs.picks = {answer};
    ProgramSettings settings;
    settings.lastFolder = u"/start"_s;
    QCOMPARE(folder ? PickFolderRemembering(dialogs, nullptr, settings, u"P"_s)
                    : PickFileRemembering(dialogs, nullptr, settings,
                                          QString::fromUtf16(kZipFilesFilter), u"P"_s),
             result);
    QCOMPARE(settings.lastFolder, lastFolder);
    QCOMPARE(dialogs.events, QStringList{folder ? u"folder: P"_s : u"file: P"_s});
    QCOMPARE(dialogs.pickStarts, QStringList{u"/start"_s});
    QCOMPARE(dialogs.pickFilters.join(u' '), folder ? u""_s : u"Zip Files (*.[zZ][iI][pP])"_s);
}

// The scroll bar shows only for an entry wider than the list; a drop-down is
// as wide as its widest entry, never narrower than the box.
void DialogsTest::listWidths() {
    QListWidget list;
    list.resize(120, 80);
    list.show();
    const QString wide = QString(60, u'W');
    for (bool withWide : {true, false}) {
        list.clear();
        if (withWide)
            list.addItems({u"/a"_s, wide});
        QCOMPARE(FitListScrollWidth(&list),
                 withWide ? list.fontMetrics().horizontalAdvance(wide) + 25 : 25);
        QCOMPARE(list.horizontalScrollBarPolicy(),
                 withWide ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    }
    QComboBox combo;
    combo.resize(60, 24);
    QCOMPARE(FitComboDropWidth(&combo), 35);
    QCOMPARE(combo.view()->minimumWidth(), 60);
    combo.addItem(wide);
    QCOMPARE(FitComboDropWidth(&combo), combo.fontMetrics().horizontalAdvance(wide) + 25);
    QCOMPARE(combo.view()->minimumWidth(), combo.fontMetrics().horizontalAdvance(wide) + 25);
}

QTEST_MAIN(DialogsTest)
#include "tst_dialogs.moc"
