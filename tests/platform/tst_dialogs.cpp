// What a user meets in dialogs: real message boxes answered from the keyboard,
// pickers that start where the last one ended, file filters, list widths.
#include "platform/ListWidth.h"
#include "platform/Pickers.h"
#include "platform/QtDialogService.h"
#include "platform/ScriptedDialogService.h"
#include "storage/ProgramSettings.h"

#include <QApplication>
#include <QComboBox>
#include <QListWidget>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

using namespace tarvik;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(tarvik::MessageRequest)
Q_DECLARE_METATYPE(tarvik::MessageAnswer)

class DialogsTest : public QObject {
    Q_OBJECT
private slots:
    void messageBox_data();
    void messageBox();
    void errorBeepsFirst();
    void filter_data();
    void filter();
    void pick_data();
    void pick();
    void listWidths();
};

void DialogsTest::messageBox_data() {
    QTest::addColumn<MessageRequest>("request");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("icon");
    QTest::addColumn<MessageAnswer>("answer");
    const auto row = [](const char* name, MessageIcon icon, MessageButtons buttons,
                        MessageAnswer byDefault, Qt::Key key, QMessageBox::Icon shown,
                        MessageAnswer answer) {
        QTest::newRow(name) << MessageRequest{u"Script file /s/a.zsc does not exist."_s, icon,
                                              buttons, byDefault}
                            << int(key) << int(shown) << answer;
    };
    using enum MessageAnswer;
    row("exclamation, Enter", MessageIcon::Exclamation, MessageButtons::Ok, Ok, Qt::Key_Return,
        QMessageBox::Warning, Ok);
    row("question, Enter takes the default No", MessageIcon::Question, MessageButtons::YesNo, No,
        Qt::Key_Return, QMessageBox::Question, No);
    row("question, default Yes", MessageIcon::Question, MessageButtons::YesNo, Yes, Qt::Key_Return,
        QMessageBox::Question, Yes);
    row("question, Esc is No", MessageIcon::Question, MessageButtons::YesNo, Yes, Qt::Key_Escape,
        QMessageBox::Question, No);
    row("ok-cancel, Esc", MessageIcon::Information, MessageButtons::OkCancel, Ok, Qt::Key_Escape,
        QMessageBox::Information, Cancel);
}

void DialogsTest::messageBox() {
    QFETCH(MessageRequest, request);
    QFETCH(int, key);
    QFETCH(int, icon);
    QFETCH(MessageAnswer, answer);
    QStringList seen;
    QTimer poll;
    connect(&poll, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            poll.stop();
            seen = QStringList{box->windowTitle(), box->text(), QString::number(box->icon())};
            QTest::keyClick(box, Qt::Key(key));
        }
    });
    poll.start(10);
    QCOMPARE(QtDialogService().showMessage(nullptr, request), answer);
    QCOMPARE(seen, (QStringList{u"Tarvik"_s, request.text, QString::number(icon)}));
}

void DialogsTest::errorBeepsFirst() {
    ScriptedDialogService service;
    service.reportError(nullptr, u"x"_s);
    QCOMPARE(service.events, (QStringList{u"beep"_s, u"message: x"_s}));
    QCOMPARE(service.messages[0].icon, MessageIcon::Exclamation);
}

void DialogsTest::filter_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("qt");
    QTest::newRow("all files") << u"All Files (*.*)|*.*"_s << u"All Files (*)"_s;
    QTest::newRow("trailing bar") << u"All Files (*.*)|*.*|"_s << u"All Files (*)"_s;
    QTest::newRow("two pairs, any case")
        << u"Text|*.txt;*.fil|All|*.*"_s << u"Text (*.[tT][xX][tT] *.[fF][iI][lL]);;All (*)"_s;
    QTest::newRow("no pattern") << u"Anything|"_s << u"Anything (*)"_s;
}

void DialogsTest::filter() {
    QFETCH(QString, filter);
    QFETCH(QString, qt);
    QCOMPARE(QtFileFilter(filter), qt);
}

// A pick starts at LastFolder, which then becomes the chosen file's folder;
// cancelling keeps it.
void DialogsTest::pick_data() {
    QTest::addColumn<bool>("folder");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("result");
    QTest::addColumn<QString>("lastFolder");
    QTest::newRow("file") << false << u"/data/week/a b.txt"_s << u"/data/week/a b.txt"_s
                          << u"/data/week"_s;
    QTest::newRow("blanks trimmed") << false << u" /d/x.zip "_s << u"/d/x.zip"_s << u"/d"_s;
    QTest::newRow("cut at NUL") << false << u"/d/x.zip\0junk"_s << u"/d/x.zip"_s << u"/d"_s;
    QTest::newRow("file cancelled") << false << QString() << QString() << u"/start"_s;
    QTest::newRow("folder") << true << u"/srv/b"_s << u"/srv/b"_s << u"/srv/b"_s;
    QTest::newRow("folder cancelled") << true << QString() << QString() << u"/start"_s;
}

void DialogsTest::pick() {
    QFETCH(bool, folder);
    QFETCH(QString, answer);
    QFETCH(QString, result);
    QFETCH(QString, lastFolder);
    ScriptedDialogService dialogs;
    dialogs.picks.append(answer);
    ProgramSettings settings;
    settings.lastFolder = u"/start"_s;
    QCOMPARE(folder ? PickFolderRemembering(dialogs, nullptr, settings, u"Pick"_s)
                    : PickFileRemembering(dialogs, nullptr, settings,
                                          QString::fromUtf16(kZipFilesFilter), u"Pick"_s),
             result);
    QCOMPARE(settings.lastFolder, lastFolder);
    QCOMPARE(dialogs.events, QStringList{(folder ? u"folder: Pick"_s : u"file: Pick"_s)});
    QCOMPARE(dialogs.pickStarts, QStringList{u"/start"_s});
    QCOMPARE(dialogs.pickFilters,
             folder ? QStringList{} : QStringList{u"Zip Files (*.[zZ][iI][pP])"_s});
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
                 withWide ? QFontMetrics(list.font()).horizontalAdvance(wide) + 25 : 25);
        QCOMPARE(list.horizontalScrollBarPolicy(),
                 withWide ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    }
    QComboBox combo;
    combo.resize(60, 24);
    QCOMPARE(FitComboDropWidth(&combo), 35);
    QCOMPARE(combo.view()->minimumWidth(), 60);
    combo.addItem(wide);
    const int widest = QFontMetrics(combo.font()).horizontalAdvance(wide) + 25;
    QCOMPARE(FitComboDropWidth(&combo), widest);
    QCOMPARE(combo.view()->minimumWidth(), widest);
}

QTEST_MAIN(DialogsTest)
#include "tst_dialogs.moc"
