#include <QTest>
class P : public QObject { Q_OBJECT private slots: void t() { QVERIFY(true); } };
QTEST_GUILESS_MAIN(P)
#include "placeholder.moc"
