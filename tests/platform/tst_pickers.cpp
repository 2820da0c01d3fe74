// Pickers go through the dialog service; the helpers around them (filters,
// LastFolder, network names, list widths) are checked against real widgets.
#include "platform/ListWidth.h"
#include "platform/Pickers.h"
#include "platform/ScriptedDialogService.h"
#include "platform/UncPath.h"
#include "storage/ProgramSettings.h"

#include <QApplication>
#include <QComboBox>
#include <QListWidget>
#include <QTest>

using namespace tarvik;
using namespace Qt::StringLiterals;

class PickersTest : public QObject {
    Q_OBJECT
private slots:
    void filter_data();
    void filter();
    void filePickRemembersFolder_data();
    void filePickRemembersFolder();
    void folderPick();
    void networkErrorText_data();
    void networkErrorText();
    void uncPathsStayOnPosix();
    void listScrollWidth();
    void comboDropWidth();
};

void PickersTest::filter_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("qt");
    QTest::newRow("all files") << u"All Files (*.*)|*.*"_s << u"All Files (*)"_s;
    QTest::newRow("trailing bar") << u"All Files (*.*)|*.*|"_s << u"All Files (*)"_s;
    QTest::newRow("zip, any case")
        << u"Zip Files (*.zip)|*.zip"_s << u"Zip Files (*.zip)"_s;
    QTest::newRow("two pairs") << u"Text|*.txt;*.fil|All|*.*"_s
                               << u"Text (*.txt *.fil);;All (*)"_s;
    QTest::newRow("no pattern") << u"Anything|"_s << u"Anything (*)"_s;
}

void PickersTest::filter() {
    QFETCH(QString, filter);
    QFETCH(QString, qt);
    QCOMPARE(QtFileFilter(filter), qt);
}

void PickersTest::filePickRemembersFolder_data() {
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("result");
    QTest::addColumn<QString>("lastFolder");
    QTest::newRow("chosen") << u"/data/week/a b.txt"_s << u"/data/week/a b.txt"_s
                            << u"/data/week"_s;
    QTest::newRow("blanks trimmed") << u"  /data/x.zip "_s << u"/data/x.zip"_s << u"/data"_s;
    QTest::newRow("cut at NUL") << u"/data/x.zip\0junk"_s << u"/data/x.zip"_s << u"/data"_s;
    QTest::newRow("cancelled") << QString() << QString() << u"/start"_s;
}

void PickersTest::filePickRemembersFolder() {
    QFETCH(QString, answer);
    QFETCH(QString, result);
    QFETCH(QString, lastFolder);
    ScriptedDialogService dialogs;
    dialogs.picks.append(answer);
    ProgramSettings settings;
    settings.lastFolder = u"/start"_s;
    QCOMPARE(PickFileRemembering(dialogs, nullptr, settings, QString::fromUtf16(kZipFilesFilter),
                                 u"Select a file to unzip"_s),
             result);
    QCOMPARE(settings.lastFolder, lastFolder);
    QCOMPARE(dialogs.events, QStringList{u"file: Select a file to unzip"_s});
    QCOMPARE(dialogs.pickStarts, QStringList{u"/start"_s});
}

void PickersTest::folderPick() {
    ScriptedDialogService dialogs;
    dialogs.picks = {u"/srv/backup"_s, QString()};
    ProgramSettings settings;
    settings.lastFolder = u"/start"_s;
    const QString title = u"Select a directory to put the zip file in"_s;
    QCOMPARE(PickFolderRemembering(dialogs, nullptr, settings, title), u"/srv/backup"_s);
    QCOMPARE(settings.lastFolder, u"/srv/backup"_s);
    QCOMPARE(PickFolderRemembering(dialogs, nullptr, settings, title), QString());
    QCOMPARE(settings.lastFolder, u"/srv/backup"_s);
    QCOMPARE(dialogs.pickStarts, (QStringList{u"/start"_s, u"/srv/backup"_s}));
}

void PickersTest::networkErrorText_data() {
    QTest::addColumn<uint>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0u << QString();
    QTest::newRow("8") << 8u << u"The System is Out of Memory."_s;
    QTest::newRow("1222") << 1222u << u"Unrecognized Error - 1222."_s;
}

void PickersTest::networkErrorText() {
    QFETCH(uint, code);
    QFETCH(QString, text);
    QCOMPARE(NetworkErrorText(code), text);
}

void PickersTest::uncPathsStayOnPosix() {
    for (const QString& path : {u"/mnt/share/a.zip"_s, u"X:\\Reports\\a.txt"_s, u"\\\\srv\\s"_s}) {
        QCOMPARE(ToUncPath(path, true), path);
        QCOMPARE(ToUncPath(path, false), path);
    }
    QString name = u"stale"_s;
    QString error;
    QCOMPARE(NetworkNameOfDrive(u"X:"_s, name, error), 2250u);
    QCOMPARE(name, QString());
    QCOMPARE(error, u"The drive is Not connected"_s);
}

void PickersTest::listScrollWidth() {
    QListWidget list;
    list.resize(120, 80);
    list.show();
    QCOMPARE(FitListScrollWidth(&list), 25);
    QCOMPARE(list.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);

    const QString wide = QString(60, u'W');
    list.addItem(u"/a"_s);
    list.addItem(wide);
    const int expected = QFontMetrics(list.font()).horizontalAdvance(wide) + 25;
    QCOMPARE(FitListScrollWidth(&list), expected);
    QCOMPARE(list.horizontalScrollBarPolicy(), Qt::ScrollBarAsNeeded);

    delete list.takeItem(1);
    FitListScrollWidth(&list);
    QCOMPARE(list.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

void PickersTest::comboDropWidth() {
    QComboBox combo;
    combo.resize(60, 24);
    QCOMPARE(FitComboDropWidth(&combo), 35);
    QVERIFY(combo.view()->minimumWidth() >= 60);

    const QString wide = u"/srv/backups/weekly/very/long/path/archive.zip"_s;
    combo.addItem(wide);
    const int expected = QFontMetrics(combo.font()).horizontalAdvance(wide) + 25;
    QCOMPARE(FitComboDropWidth(&combo), expected);
    QCOMPARE(combo.view()->minimumWidth(), std::max(expected, 60));
}

QTEST_MAIN(PickersTest)
#include "tst_pickers.moc"
