#include "RunnerFixture.h"
#include "SmtpSink.h"
#include "runner/BatchMode.h"

#include <QSysInfo>
#include <QTest>

using namespace tarvik;
using namespace Qt::StringLiterals;

// One message per run about its failed scripts, through a real SMTP server;
// the alert never changes what the run returns.
class FailureAlertTest : public QObject {
    Q_OBJECT
private slots:
    void batchRun_data();
    void batchRun();
};

void FailureAlertTest::batchRun_data() {
    QTest::addColumn<bool>("oneFails");
    QTest::addColumn<bool>("serverListens");
    QTest::addColumn<QString>("alertAddress");
    QTest::newRow("a failure, alert sent")
        << true << true << u"ops@example.test, me@example.test"_s;
    QTest::newRow("all finished, nothing sent") << false << true << u"ops@example.test"_s;
    QTest::newRow("no alert address") << true << true << QString();
    QTest::newRow("server unreachable: one log line") << true << false << u"ops@example.test"_s;
}

void FailureAlertTest::batchRun() {
    QFETCH(bool, oneFails);
    QFETCH(bool, serverListens);
    QFETCH(QString, alertAddress);
    SmtpSink sink;
    QVERIFY(sink.started());
    RunnerFixture fx;
    fx.settings.mailServer = u"127.0.0.1"_s;
    fx.settings.mailServerPort = qint16(serverListens ? sink.port() : unusedPort());
    fx.settings.alertAddress = alertAddress;
    fx.writeFile("src/a.txt", "alpha");
    fx.writeScript(u"good.zsc"_s, {{u"File1"_s, fx.path("src/*.txt")},
                                   {u"Dir1"_s, fx.path("out1")},
                                   {u"ZipFile"_s, u"Backup"_s}});
    if (oneFails)
        fx.writeScript(u"restore.usc"_s, {{u"Dir1"_s, fx.path("out2")}});

    const int exitCode = RunBatch(Command{CommandMode::All, {}}, fx.context);
    QCOMPARE(exitCode, oneFails ? kExitAborted : kExitAllFinished);
    const QString failedLine = u"restore.usc  Aborted : No zip file in script file to process."_s;
    const QList<QJsonObject> arrived = sink.messages();
    const bool sent = oneFails && !alertAddress.isEmpty() && serverListens;
    QCOMPARE(arrived.size(), sent ? 1 : 0);
    QStringList expectedLog;
    if (oneFails)
        expectedLog << failedLine;
    if (oneFails && !alertAddress.isEmpty() && !serverListens)
        expectedLog << fx.kStamp + u"  Unable to send the failure alert to ops@example.test. "_s;
    const QStringList log = fx.logLines();
    QCOMPARE(log.size(), expectedLog.size());
    for (qsizetype i = 0; i < log.size(); ++i)
        QVERIFY2(log[i].startsWith(expectedLog[i]), qPrintable(log[i]));
    if (!sent)
        return;
    const QJsonObject& m = arrived[0];
    QCOMPARE(m[u"rcptTo"_s].toVariant().toStringList(),
             (QStringList{u"ops@example.test"_s, u"me@example.test"_s}));
    QCOMPARE(m[u"subject"_s].toString(),
             u"Tarvik: 1 of 2 scripts failed on "_s + QSysInfo::machineHostName());
    const QString text = m[u"text"_s].toString();
    QVERIFY2(text.contains(u"restore.usc\n  "_s + fx.kStamp + u"  "_s + fx.settings.scriptFilePath +
                           u'/' + failedLine),
             qPrintable(text));
    QVERIFY2(!text.contains(u"good.zsc"_s), qPrintable(text));
}

QTEST_GUILESS_MAIN(FailureAlertTest)
#include "tst_failure_alert.moc"
