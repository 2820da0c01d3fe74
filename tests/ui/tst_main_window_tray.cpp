// Minimising into the tray and coming back; without a tray the window
// minimises as usual.
#include "WindowFixture.h"

#include <QAction>
#include <QSystemTrayIcon>

using namespace tarvik;
using namespace Qt::StringLiterals;

class MainWindowTrayTest : public QObject {
    Q_OBJECT
private slots:
    void minimise_data();
    void minimise();
};

void MainWindowTrayTest::minimise_data() {
    QTest::addColumn<bool>("tray");
    QTest::addColumn<bool>("maximized");
    QTest::addColumn<QString>("how"); // "click" on the icon or the menu's "Restore"
    QTest::newRow("left click") << true << false << "click";
    QTest::newRow("Restore, was maximised") << true << true << "Restore";
    QTest::newRow("no tray") << false << false << "";
}

void MainWindowTrayTest::minimise() {
    QFETCH(bool, tray);
    QFETCH(bool, maximized);
    QFETCH(QString, how);

    WindowFixture f;
    f.trayAvailable = tray;
    f.open();
    auto* icon = f.form->findChild<QSystemTrayIcon*>();
    QCOMPARE(icon->toolTip(), u"Tarvik"_s);
    if (maximized)
        f.form->showMaximized();
    f.form->showMinimized();
    QCoreApplication::processEvents();
    QCOMPARE(f.form->isHidden(), tray);
    if (!tray) {
        QVERIFY(f.form->isMinimized());
        return;
    }
    // Other tray events (the menu request) bring nothing back.
    emit icon->activated(QSystemTrayIcon::Context);
    QVERIFY(f.form->isHidden());
    if (how == u"click")
        emit icon->activated(QSystemTrayIcon::Trigger);
    else
        f.form->findChild<QAction*>(u"trayRestoreItem"_s)->trigger();
    QVERIFY(f.form->isVisible() && !f.form->isMinimized());
    QCOMPARE(f.form->isMaximized(), maximized);
    QVERIFY(icon->isVisible());
}

QTEST_MAIN(MainWindowTrayTest)
#include "tst_main_window_tray.moc"
