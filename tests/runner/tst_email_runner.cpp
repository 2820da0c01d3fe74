#include "RunnerFixture.h"
#include "runner/EmailStep.h"
#include "runner/ZipRunner.h"
#include "tst_email_sink.h"

#include <QJsonArray>
#include <QTest>

using namespace tarvik;
using namespace Qt::StringLiterals;

class EmailRunnerTest : public QObject {
    Q_OBJECT
private slots:
    void zipRunMails_data();
    void zipRunMails();
};

void EmailRunnerTest::zipRunMails_data() {
    QTest::addColumn<bool>("serverListens");
    QTest::newRow("server takes the message") << true;
    QTest::newRow("nothing listens") << false;
}

// The step as the application plugs it in, driven by a zip run: the message
// carries the archive the run copied, and a failed sending changes neither
// the run's result, its copies nor its log.
void EmailRunnerTest::zipRunMails() {
    QFETCH(bool, serverListens);

    SmtpSink sink;
    QVERIFY(sink.started());
    RunnerFixture fx;
    fx.settings.mailServer = u"127.0.0.1"_s;
    fx.settings.mailServerPort = qint16(serverListens ? sink.port() : unusedPort());
    fx.context.email = MakeEmailStep(fx.context, [] { return true; });
    fx.writeFile("src/a.txt", "alpha");
    fx.writeFile("src/b.txt", QByteArray(300000, 'b'));
    const QStringList to{u"ann@example.test"_s, u"bob@example.test"_s, u"cy@example.test"_s};
    fx.writeScript(u"mail.zsc"_s, {{u"File1"_s, fx.path("src/*.txt")},
                                   {u"Dir1"_s, fx.path("out1")},
                                   {u"Dir2"_s, fx.path("out2")},
                                   {u"ZipFile"_s, u"Backup"_s},
                                   {u"Attachment"_s, u"Yes"_s},
                                   {u"HyperLink"_s, u"Yes"_s},
                                   {u"EmailAddress1"_s, to[0]},
                                   {u"EmailAddress2"_s, to[1]},
                                   {u"EmailAddress3"_s, to[2]},
                                   {u"SenderName"_s, u"Backup Robot"_s},
                                   {u"Sender"_s, u"robot@example.test"_s},
                                   {u"Subject"_s, u"Nightly backup"_s},
                                   {u"Body"_s, u"See you tomorrow."_s}});

    QCOMPARE(int(RunZipScript(u"mail.zsc"_s, fx.context)), 0);
    QFile copy(fx.path("out1/Backup.zip"));
    QVERIFY(copy.open(QIODevice::ReadOnly));
    QVERIFY(QFile::exists(fx.path("out2/Backup.zip")));
    QVERIFY(!QFile::exists(fx.logPath()));

    const QList<QJsonObject> arrived = sink.messages();
    if (!serverListens) {
        QCOMPARE(fx.messages.size(), 1);
        QVERIFY2(
            fx.messages[0].startsWith(u"Error sending to 3 addresses. Mail server 127.0.0.1"_s),
            qPrintable(fx.messages[0]));
        QCOMPARE(arrived.size(), 0);
        return;
    }
    QCOMPARE(fx.messages, QStringList{u"Email sent to 3 addresses."_s});
    QCOMPARE(arrived.size(), 1);
    const QJsonObject& m = arrived[0];
    QCOMPARE(m[u"rcptTo"_s].toVariant().toStringList(), to);
    QCOMPARE(m[u"fromName"_s].toString(), u"Backup Robot"_s);
    QCOMPARE(m[u"fromAddress"_s].toString(), u"robot@example.test"_s);
    QCOMPARE(m[u"subject"_s].toString(), u"Nightly backup"_s);
    QCOMPARE(m[u"text"_s].toString(), u"Zip file can be accessed from "_s +
                                          fx.path("out1/Backup.zip") + u"\n\nSee you tomorrow."_s);
    const QJsonArray files = m[u"attachments"_s].toArray();
    QCOMPARE(files.size(), 1);
    QCOMPARE(files[0][u"filename"_s].toString(), u"Backup.zip"_s);
    QVERIFY(QByteArray::fromBase64(files[0][u"data"_s].toString().toLatin1()) == copy.readAll());
}

QTEST_GUILESS_MAIN(EmailRunnerTest)
#include "tst_email_runner.moc"
