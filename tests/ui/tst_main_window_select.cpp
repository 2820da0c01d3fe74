// Marking rows for the Run button: the selection commands and their keys, and
// the advanced select screen. Run is enabled exactly when a row is marked.
#include "WindowFixture.h"
#include "ui/main/AdvancedSelectDialog.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>

using namespace tarvik;
using namespace Qt::StringLiterals;

class MainWindowSelectTest : public QObject {
    Q_OBJECT
private slots:
    void markCommands_data();
    void markCommands();
    void advancedSelect_data();
    void advancedSelect();
};

void MainWindowSelectTest::markCommands_data() {
    // Steps: "row:N" clicks row N, "none" leaves no highlighted row, "...Button"
    // clicks that button, "F2".."F6" with an optional "S+" (Shift) press a key.
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("marks"); // column 1, joined with ","
    QTest::addColumn<bool>("run");

    QTest::newRow("Select") << "row:1 selectButton"
                            << ",X," << true;
    QTest::newRow("Select, no highlighted row") << "none selectButton"
                                                << ",," << false;
    QTest::newRow("Select All, De-select All") << "selectAllButton deselectAllButton"
                                               << ",," << false;
    QTest::newRow("Opposite of all") << "selectAllButton selectOppositeButton"
                                     << ",," << false;
    QTest::newRow("Opposite of none") << "selectOppositeButton"
                                      << "X,X,X" << true;
    QTest::newRow("De-select one of two") << "row:0 selectButton row:2 selectButton deselectButton"
                                          << "X,," << true;
    QTest::newRow("De-select the last one") << "row:2 selectButton deselectButton"
                                            << ",," << false;
    QTest::newRow("De-select, no highlighted row") << "selectAllButton none deselectButton"
                                                   << "X,X,X" << true;
    QTest::newRow("F2, F6") << "row:1 F2 F6"
                            << "X,,X" << true;
    QTest::newRow("F4, F3") << "row:0 F4 F3"
                            << ",X,X" << true;
    QTest::newRow("F4, F5") << "F4 F5"
                            << ",," << false;
    QTest::newRow("Shift+F2, Shift+F4") << "row:1 S+F2 S+F4"
                                        << ",," << false;
}

void MainWindowSelectTest::markCommands() {
    QFETCH(QString, steps);
    QFETCH(QString, marks);
    QFETCH(bool, run);

    WindowFixture f;
    for (const char* name : {"s0.zsc", "s1.zsc", "s2.usc"})
        f.zipScript(QString::fromLatin1(name));
    f.open();
    for (const QString& step : steps.split(u' ')) {
        if (step.startsWith(u"row:"))
            f.clickRow(step.mid(4).toInt());
        else if (step == u"none")
            f.list()->selectionModel()->clear();
        else if (step.endsWith(u"Button"))
            f.click(qPrintable(step));
        else
            f.key(Qt::Key_F1 + step.section(u'F', -1).toInt() - 1,
                  step.startsWith(u"S+") ? Qt::ShiftModifier : Qt::NoModifier);
    }
    QCOMPARE(f.column(kMarkerColumn).join(u','), marks);
    QCOMPARE(f.button("runButton")->isEnabled(), run);
}

void MainWindowSelectTest::advancedSelect_data() {
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QString>(
        "option"); // "selectZipScripts", "selectUnzipScripts", or a pattern to type
    QTest::addColumn<bool>("deselectFirst");
    QTest::addColumn<QStringList>("marked");
    QTest::addColumn<QString>("lastFileSpec");

    const QStringList zips{u"daily.zsc"_s, u"dead.zsc"_s, u"DUMP.ZSC"_s, u"weekly.zsc"_s};
    QTest::newRow("zip scripts") << QStringList{u"Data.usc"_s} << "selectZipScripts" << true << zips
                                 << "*.*";
    QTest::newRow("zip scripts, earlier marks kept")
        << QStringList{u"Data.usc"_s} << "selectZipScripts" << false
        << QStringList{u"daily.zsc"_s, u"dead.zsc"_s, u"DUMP.ZSC"_s, u"weekly.zsc"_s, u"Data.usc"_s}
        << "*.*";
    QTest::newRow("unzip scripts") << QStringList{u"weekly.zsc"_s} << "selectUnzipScripts" << true
                                   << QStringList{u"Data.usc"_s} << "*.*";
    // dead.zsc is listed but its file is gone; d-notes.txt has no row.
    QTest::newRow("pattern, any letter case, trimmed")
        << QStringList{} << "  d*  " << true
        << QStringList{u"daily.zsc"_s, u"DUMP.ZSC"_s, u"Data.usc"_s} << "d*";
    QTest::newRow("pattern matching nothing")
        << QStringList{u"weekly.zsc"_s} << "zz*" << true << QStringList{} << "zz*";
    QTest::newRow("pattern matching nothing, marks kept")
        << QStringList{u"weekly.zsc"_s} << "zz*" << false << QStringList{u"weekly.zsc"_s} << "zz*";
}

void MainWindowSelectTest::advancedSelect() {
    QFETCH(QStringList, before);
    QFETCH(QString, option);
    QFETCH(bool, deselectFirst);
    QFETCH(QStringList, marked);
    QFETCH(QString, lastFileSpec);

    WindowFixture f;
    for (const char* name : {"daily.zsc", "weekly.zsc", "DUMP.ZSC", "dead.zsc"})
        f.zipScript(QString::fromLatin1(name));
    f.unzipScript(u"Data.usc"_s);
    f.writeFile("scripts/d-notes.txt", "x");
    f.open();
    QFile::remove(f.scriptPath(u"dead.zsc"_s));
    f.mark(before);

    for (int opening = 0; opening < 2; ++opening) {
        f.key(Qt::Key_F7);
        auto* dialog = f.form->findChild<AdvancedSelectDialog*>();
        QVERIFY(dialog && dialog->isVisible() && dialog->isModal());
        WindowFixture::activate(dialog);
        QCOMPARE(dialog->windowTitle(), u"Tarvik - Advanced Select Screen"_s);
        auto* patternBox = dialog->findChild<QLineEdit*>(u"patternBox"_s);
        auto* deselectBox = dialog->findChild<QCheckBox*>(u"deselectFirstCheck"_s);
        // Every opening starts afresh but for the pattern.
        QVERIFY(dialog->findChild<QRadioButton*>(u"selectZipScripts"_s)->isChecked());
        QVERIFY(deselectBox->isChecked());
        QCOMPARE(patternBox->text(), opening == 0 ? u"*.*"_s : lastFileSpec);
        if (opening == 1) {
            QTest::keyClick(dialog, Qt::Key_Escape); // changes nothing
            break;
        }
        if (option.startsWith(u"select")) {
            QTest::mouseClick(dialog->findChild<QRadioButton*>(option), Qt::LeftButton);
        } else {
            // A click into the box chooses the pattern option.
            QTest::mouseClick(patternBox, Qt::LeftButton);
            QVERIFY(dialog->findChild<QRadioButton*>(u"selectByPattern"_s)->isChecked());
            patternBox->selectAll();
            QTest::keyClicks(patternBox, option);
        }
        if (!deselectFirst)
            QTest::mouseClick(deselectBox, Qt::LeftButton);
        QTest::mouseClick(dialog->findChild<QPushButton*>(u"okButton"_s), Qt::LeftButton);
        QTRY_VERIFY(!f.form->findChild<AdvancedSelectDialog*>());

        QStringList got = f.marked();
        got.sort(Qt::CaseInsensitive);
        marked.sort(Qt::CaseInsensitive);
        QCOMPARE(got, marked);
        QCOMPARE(f.button("runButton")->isEnabled(), !marked.isEmpty());
        QCOMPARE(f.settings.lastFileSpec, lastFileSpec);
    }
    QTRY_VERIFY(!f.form->findChild<AdvancedSelectDialog*>());
    QCOMPARE(f.marked().size(), marked.size());
}

QTEST_MAIN(MainWindowSelectTest)
#include "tst_main_window_select.moc"
