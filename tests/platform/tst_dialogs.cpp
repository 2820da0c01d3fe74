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

// A pick starts at LastFolder, which then becomes the chosen file's folder;
// cancelling keeps it. File filter ("": a folder pick), answer -> Qt filter,
// result, LastFolder
const std::tuple<const char*, QString, QString, QString, QString, QString> kPicks[] = {
    {"file, trimmed and cut at NUL", u"All Files (*.*)|*.*|"_s, u" /d/a b.zip\0junk "_s,
     u"All Files (*)"_s, u"/d/a b.zip"_s, u"/d"_s},
    {"file cancelled, two filters", u"Text|*.txt;*.fil|All|*.*"_s, u""_s,
     u"Text (*.txt *.fil);;All (*)"_s, u""_s, u"/start"_s},
    {"file, no pattern", u"Anything|"_s, u"/x/y"_s, u"Anything (*)"_s, u"/x/y"_s, u"/x"_s},
    {"folder", u""_s, u"/srv/b"_s, u""_s, u"/srv/b"_s, u"/srv/b"_s},
    {"folder cancelled", u""_s, u""_s, u""_s, u""_s, u"/start"_s},
};
} // namespace

class DialogsTest : public QObject {
    Q_OBJECT
private slots:
    void messageBox_data() { addRows(kBoxes); }
    void messageBox() {
        const auto& [name, icon, buttons, byDefault, key, shown, answer] = rowOf(kBoxes);
        const MessageRequest request{u"Script /s/a.zsc is gone."_s, icon, buttons, byDefault};
        QStringList seen;
        QTimer::singleShot(0, [&, pressed = key] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            seen = {box->windowTitle(), box->text(), QString::number(box->icon())};
            QTest::keyClick(box, pressed);
        });
        QCOMPARE(QtDialogService().showMessage(nullptr, request), answer);
        QCOMPARE(seen, (QStringList{u"Tarvik"_s, request.text, QString::number(shown)}));
    }

    void pick_data() { addRows(kPicks); }
    void pick() {
        const auto& [name, filter, answer, qtFilter, result, lastFolder] = rowOf(kPicks);
        ScriptedDialogService dialogs;
        dialogs.picks = {answer};
        ProgramSettings settings;
        settings.lastFolder = u"/start"_s;
        QCOMPARE(filter.isEmpty() ? PickFolderRemembering(dialogs, nullptr, settings, u"P"_s)
                                  : PickFileRemembering(dialogs, nullptr, settings, filter, u"P"_s),
                 result);
        QCOMPARE(QStringList({settings.lastFolder, dialogs.events.join(u' '),
                              dialogs.pickStarts.join(u' '), dialogs.pickFilters.join(u' ')}),
                 QStringList({lastFolder, filter.isEmpty() ? u"folder: P"_s : u"file: P"_s,
                              u"/start"_s, qtFilter}));
    }

    // The scroll bar shows only for an entry wider than the list; a drop-down is
    // as wide as its widest entry, never narrower than the box.
    void listWidths() {
        QListWidget list;
        list.resize(120, 80);
        list.show();
        const QString wide = QString(60, u'W');
        const int wideWidth = list.fontMetrics().horizontalAdvance(wide) + 25;
        for (bool withWide : {true, false}) {
            list.clear();
            if (withWide)
                list.addItems({u"/a"_s, wide});
            QCOMPARE(FitListScrollWidth(&list), withWide ? wideWidth : 25);
            QCOMPARE(list.horizontalScrollBarPolicy(),
                     withWide ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
        }
        QComboBox combo;
        combo.resize(60, 24);
        for (int width : {35, wideWidth}) { // empty, then with the wide entry
            QCOMPARE(FitComboDropWidth(&combo), width);
            QCOMPARE(combo.view()->minimumWidth(), std::max(width, 60));
            combo.addItem(wide);
        }
    }
};

QTEST_MAIN(DialogsTest)
#include "tst_dialogs.moc"
