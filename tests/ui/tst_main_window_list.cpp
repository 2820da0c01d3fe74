// The script list: what the fill shows, Refresh, and header sorting with its
// one direction for every column.
#include "WindowFixture.h"

#include <QHeaderView>

using namespace tarvik;
using namespace Qt::StringLiterals;

class MainWindowListTest : public QObject {
    Q_OBJECT
private slots:
    void refresh_data();
    void refresh();
    void sorting_data();
    void sorting();
};

void MainWindowListTest::refresh_data() {
    QTest::addColumn<bool>("emptyFolder");
    QTest::newRow("scripts changed, added, folder noise") << false;
    QTest::newRow("folder emptied") << true;
}

void MainWindowListTest::refresh() {
    QFETCH(bool, emptyFolder);

    WindowFixture f;
    f.zipScript(u"b.zsc"_s);
    f.unzipScript(u"c.usc"_s);
    f.open();
    f.click("selectAllButton"); // marks go with a refresh
    QVERIFY(f.button("runButton")->isEnabled());
    if (emptyFolder) {
        QDir(f.path("scripts")).removeRecursively();
    } else {
        f.setKeys(u"b.zsc"_s, {{u"LastRun"_s, u"2004/01/02 03:04:05"_s},
                               {u"Error"_s, u"X"_s},
                               {u"Description"_s, u"Nightly"_s}});
        f.zipScript(u"DAILY.ZSC"_s);
        f.unzipScript(u"a.USC"_s);
        f.writeFile("scripts/empty.zsc", {});
        f.writeFile("scripts/notes.txt", "x");
        QDir(f.path("scripts")).mkdir(u"folder.zsc"_s);
    }
    f.click("refreshButton");

    QCOMPARE(f.messages(), u"Zip script list refreshed."_s);
    const QStringList names = emptyFolder ? QStringList{}
                                          : QStringList{u"b.zsc"_s, u"DAILY.ZSC"_s, u"empty.zsc"_s,
                                                        u"a.USC"_s, u"c.usc"_s};
    QCOMPARE(f.column(kFileNameColumn), names);
    QVERIFY(f.marked().isEmpty());
    QVERIFY(!f.button("runButton")->isEnabled());
    for (const char* name : {"editButton", "deleteButton", "copyButton", "selectButton",
                             "deselectButton", "selectAllButton", "deselectAllButton",
                             "selectOppositeButton", "openButton", "advancedSelectButton"})
        QVERIFY2(f.button(name)->isEnabled() == !emptyFolder, name);
    if (!emptyFolder) {
        QCOMPARE(f.column(kTypeColumn),
                 (QStringList{u"Zip"_s, u"Zip"_s, u"Zip"_s, u"Unzip"_s, u"Unzip"_s}));
        QCOMPARE((QStringList{f.cell(0, kLastRunColumn), f.cell(0, kErrorColumn),
                              f.cell(0, kDescriptionColumn), f.cell(1, kDescriptionColumn)}),
                 (QStringList{u"2004/01/02 03:04:05"_s, u"X"_s, u"Nightly"_s, QString()}));
    }
}

void MainWindowListTest::sorting_data() {
    QTest::addColumn<QList<int>>("clicks");
    QTest::addColumn<QStringList>("order");
    QTest::addColumn<int>("markerColumn");
    QTest::addColumn<QString>("marker");

    // Descriptions: b "beta", a "Gamma", c "alpha": letter case does not count.
    QTest::newRow("first click descending")
        << QList{1} << QStringList{u"c.usc"_s, u"b.zsc"_s, u"a.zsc"_s} << 1 << "sort-down";
    QTest::newRow("second click ascending")
        << QList{1, 1} << QStringList{u"a.zsc"_s, u"b.zsc"_s, u"c.usc"_s} << 1 << "sort-up";
    QTest::newRow("another column goes on from the last direction")
        << QList{1, 5} << QStringList{u"c.usc"_s, u"b.zsc"_s, u"a.zsc"_s} << 5 << "sort-up";
    QTest::newRow("equal texts keep their order")
        << QList{5, 1, 2} << QStringList{u"a.zsc"_s, u"b.zsc"_s, u"c.usc"_s} << 2 << "sort-down";
}

void MainWindowListTest::sorting() {
    QFETCH(QList<int>, clicks);
    QFETCH(QStringList, order);
    QFETCH(int, markerColumn);
    QFETCH(QString, marker);

    WindowFixture f;
    f.zipScript(u"b.zsc"_s, {{u"Description"_s, u"beta"_s}});
    f.zipScript(u"a.zsc"_s, {{u"Description"_s, u"Gamma"_s}});
    f.unzipScript(u"c.usc"_s, {{u"Description"_s, u"alpha"_s}});
    f.open();
    f.clickRow(f.rowOf(u"a.zsc"_s));
    QHeaderView* header = f.list()->header();
    for (const int c : clicks) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          {header->sectionViewportPosition(c) + 10, header->height() / 2});
    }
    QCOMPARE(f.column(kFileNameColumn), order);
    const QImage expected = QIcon(u":/tarvik/"_s + marker + u".png"_s).pixmap(12).toImage();
    for (int c = 0; c < kScriptColumnCount; ++c) {
        const auto icon = header->model()->headerData(c, Qt::Horizontal, Qt::DecorationRole);
        QCOMPARE(icon.value<QIcon>().pixmap(12).toImage(), c == markerColumn ? expected : QImage());
    }
    // The highlighted row stays on its script, and a refresh keeps the order.
    f.click("selectButton");
    QCOMPARE(f.marked(), QStringList{u"a.zsc"_s});
    f.click("refreshButton");
    QCOMPARE(f.column(kFileNameColumn), order);
}

QTEST_MAIN(MainWindowListTest)
#include "tst_main_window_list.moc"
