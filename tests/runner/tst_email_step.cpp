#include "RunnerFixture.h"
#include "SmtpSink.h"
#include "runner/EmailStep.h"
#include "runner/ZipRunner.h"
#include "storage/ZipScript.h"

#include <QJsonArray>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTest>
#include <optional>

using namespace tarvik;
using namespace Qt::StringLiterals;

namespace {

QStringList strings(const QJsonValue& array) {
    QStringList list;
    for (const QJsonValue& v : array.toArray())
        list.append(v.toString());
    return list;
}

// The script's e-mail settings and the message they should make.
struct Mail {
    ZipScriptEmail email;
    QString text;    // {dir1}: the script's first directory
    QString name;    // empty: the sender name as given
    QString subject; // empty: the subject as given
};

// A sending and its outcome.
struct Sending {
    bool online = true;
    QString server = u"127.0.0.1"_s; // {port}: the sink's port
    bool deadPort = false;           // the port is one where nothing listens
    SmtpSinkMode sink;
    bool secondSink = false; // a plain sink on 127.0.0.2 that must get nothing
    bool attachment = true, hyperLink = true;
    QString sender = u"robot@example.test"_s;
    QStringList addresses{u"ann@example.test"_s, u"bob@example.test"_s};
    bool archiveExists = true;
    bool mailer = true; // else the step gives up before sending
    int connectionTests = 1;
    QStringList saying; // parts of the line it says, none for no line; {port}, {dead} as above
    int arrived = 0;
    int connections = 0;
};

// The fixture's settings and message lines, a counted connection test and a
// counted real mailer, and an archive file to attach.
struct StepWorld {
    RunnerFixture fx;
    bool online = true;
    int connectionTests = 0;
    int mailersMade = 0;
    MailTimeouts timeouts;
    EmailStep step = MakeEmailStep(
        fx.context, [this] { return ++connectionTests, online; },
        [this] { return ++mailersMade, std::make_unique<CurlMailer>(timeouts); });
    QString archive = fx.path("tmp/Backup.zip");
    // Lines a careless SMTP client would end the message at, then all bytes.
    QByteArray archiveBytes = "PK\x03\x04\r\n.\r\n..\n.\r\nFrom x\r\n" + mixedData(120000, 7, true);

    StepWorld() { fx.writeFile("tmp/Backup.zip", archiveBytes); }

    void send(const ZipScriptEmail& email, const QString& server, int port) {
        ZipScript s;
        s.options.directories = {fx.path("out1"), fx.path("out2")};
        s.options.zipFile = u"Backup"_s;
        s.email = email;
        fx.settings.mailServer = server;
        fx.settings.mailServerPort = qint16(port);
        step(s, archive);
    }
};

ZipScriptEmail email(bool attachment, bool hyperLink, const QStringList& addresses) {
    ZipScriptEmail e;
    e.attachment = attachment;
    e.hyperLink = hyperLink;
    e.addresses = addresses;
    e.sender = u"robot@example.test"_s;
    return e;
}

} // namespace

Q_DECLARE_METATYPE(Mail)
Q_DECLARE_METATYPE(Sending)

class EmailStepTest : public QObject {
    Q_OBJECT
private slots:
    void message_data();
    void message();
    void outcome_data();
    void outcome();
    void zipRunSendsThroughTheStep();
};

void EmailStepTest::message_data() {
    QTest::addColumn<Mail>("mail");
    const QStringList three{u"ann@example.test"_s, u"bob@example.test"_s, u"cy@example.test"_s};
    const auto row = [&](const char* name, bool attachment, bool hyperLink, auto edit) {
        Mail m{email(attachment, hyperLink, three), u"Body"_s, {}, {}};
        m.email.senderName = u"Backup Robot"_s;
        m.email.subject = u"Nightly backup"_s;
        m.email.body = u"Body"_s;
        edit(m);
        QTest::newRow(name) << m;
    };
    row("link to the first directory's copy, and the file", true, true,
        [](Mail& m) { m.text = u"Zip file can be accessed from {dir1}/Backup.zip\n\nBody"_s; });
    row("link path given, no file", false, true, [](Mail& m) {
        m.email.hyperLinkPath = u"\\\\files\\share\\Backup.zip"_s;
        m.email.addresses = QStringList{u"ann@example.test"_s};
        m.text = u"Zip file can be accessed from \\\\files\\share\\Backup.zip\n\nBody"_s;
    });
    row("file only: the text is the body", true, false,
        [](Mail& m) { m.email.hyperLinkPath = u"ignored"_s; });
    row("script defaults: sender without @", true, false, [](Mail& m) {
        m.email = email(true, false, {u"ann@example.test"_s});
        m.email.sender = u"Tarvik"_s;
        m.text.clear();
    });
    row("non-ASCII name, subject, sender and body", true, true, [](Mail& m) {
        m.email.senderName = u"Jörg Müller-Lüdenscheidt"_s;
        m.email.sender = u"jörg@example.test"_s;
        m.email.subject = u"Sicherung für März ✓ — 日本語のテキストと長い尾 in several words"_s;
        m.email.body = u"Grüße\nZeile 2 – 🙂"_s;
        m.text = u"Zip file can be accessed from {dir1}/Backup.zip\n\nGrüße\nZeile 2 – 🙂"_s;
    });
    row("quotes in the name, long ASCII subject", true, false, [](Mail& m) {
        m.email.senderName = u"Ops \"night\" \\ team"_s;
        m.email.subject = u"word "_s.repeated(40) + u"end"_s;
    });
    row("dot lines, long line, CR LF and bare LF in the body", false, true, [](Mail& m) {
        m.email.hyperLinkPath = u"http://files/Backup.zip"_s;
        m.email.body = u".\r\n..\n.x\r\n"_s + u"a"_s.repeated(1500) + u"\nend"_s;
        m.text = u"Zip file can be accessed from http://files/Backup.zip\n\n.\n..\n.x\n"_s +
                 u"a"_s.repeated(1500) + u"\nend"_s;
    });
    // Line breaks in header values must not start new headers.
    row("CR, LF, CR LF and a blank line in the subject", true, false, [](Mail& m) {
        m.email.subject = u"Weekly\r\n\r\nBcc: evil@x.test\rCc: a@x.test\nTo: b@x.test"_s;
        m.subject = u"Weekly Bcc: evil@x.test Cc: a@x.test To: b@x.test"_s;
    });
    row("line break in a non-ASCII subject", true, false, [](Mail& m) {
        m.email.subject = u"Größe\r\nBcc: evil@x.test"_s;
        m.subject = u"Größe Bcc: evil@x.test"_s;
    });
    row("line break in the sender name", true, false, [](Mail& m) {
        m.email.senderName = u"Robot\r\nBcc: evil@x.test"_s;
        m.name = u"Robot Bcc: evil@x.test"_s;
    });
}

void EmailStepTest::message() {
    QFETCH(Mail, mail);
    const ZipScriptEmail& e = mail.email;
    SmtpSink sink;
    QVERIFY(sink.started());
    StepWorld w;
    w.send(e, u"127.0.0.1"_s, sink.port());
    QCOMPARE(w.fx.messages, QStringList{u"Email sent to %1 addresses."_s.arg(e.addresses.size())});
    const QList<QJsonObject> arrived = sink.messages();
    QCOMPARE(arrived.size(), 1);
    const QJsonObject& m = arrived.first();
    QCOMPARE(strings(m[u"defects"_s]), QStringList());
    QCOMPARE(m[u"mailFrom"_s].toString(), e.sender);
    QCOMPARE(strings(m[u"rcptTo"_s]), e.addresses);
    QCOMPARE(strings(m[u"to"_s]), e.addresses);
    QCOMPARE(m[u"fromName"_s].toString(), mail.name.isEmpty() ? e.senderName : mail.name);
    QCOMPARE(m[u"fromAddress"_s].toString(), e.sender);
    QCOMPARE(m[u"subject"_s].toString(), mail.subject.isEmpty() ? e.subject : mail.subject);
    QCOMPARE(m[u"text"_s].toString(), QString(mail.text).replace(u"{dir1}"_s, w.fx.path("out1")));
    QStringList names;
    QMap<QString, QString> headers;
    for (const QJsonValue& h : m[u"headers"_s].toArray()) {
        names.append(h[0].toString());
        headers.insert(h[0].toString().toLower(), h[1].toString());
    }
    names.sort();
    QCOMPARE(names, (QStringList{u"Content-Type"_s, u"Date"_s, u"From"_s, u"MIME-Version"_s,
                                 u"Message-ID"_s, u"Subject"_s, u"To"_s, u"X-Mailer"_s}));
    QCOMPARE(headers[u"x-mailer"_s], u"Tarvik"_s);
    QCOMPARE(QDateTime::fromString(headers[u"date"_s], Qt::RFC2822Date).toUTC(),
             w.fx.context.clock().toUTC());
    QVERIFY(QRegularExpression(u"^<[^<>@\\s]+@[^<>@\\s]+>$"_s)
                .match(headers[u"message-id"_s])
                .hasMatch());
    const QJsonArray files = m[u"attachments"_s].toArray();
    QCOMPARE(files.size(), e.attachment ? 1 : 0);
    if (e.attachment) {
        QCOMPARE(files[0][u"filename"_s].toString(), u"Backup.zip"_s);
        QCOMPARE(files[0][u"contentType"_s].toString(), u"application/zip"_s);
        QCOMPARE(files[0][u"transferEncoding"_s].toString(), u"base64"_s);
        QVERIFY(QByteArray::fromBase64(files[0][u"data"_s].toString().toLatin1()) ==
                w.archiveBytes);
    }
    // Header lines keep RFC 5322's limit, and RFC 2047's for lines holding
    // encoded-words, each of which must decode to whole UTF-8 characters.
    const QByteArray raw = sink.raw(1);
    const QByteArray head = raw.left(raw.indexOf("\r\n\r\n"));
    for (const QByteArray& line : head.split('\n'))
        QVERIFY2(line.size() <= (line.contains("=?") ? 77 : 999), line.constData());
    static const QRegularExpression word(u"=\\?UTF-8\\?B\\?([A-Za-z0-9+/=]*)\\?="_s);
    for (const QRegularExpressionMatch& w : word.globalMatch(QString::fromLatin1(head))) {
        QStringDecoder decode(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        decode(QByteArray::fromBase64(w.captured(1).toLatin1()));
        QVERIFY2(!decode.hasError(), qPrintable(w.captured(0)));
    }
}

void EmailStepTest::outcome_data() {
    QTest::addColumn<Sending>("sending");
    const auto row = [](const char* name, auto edit) {
        Sending s;
        edit(s);
        QTest::newRow(name) << s;
    };
    // Checked in this order, before any mailer is made.
    const auto unable = [&](const char* name, bool online, const QString& server, bool attachment,
                            bool hyperLink, const QStringList& addresses, const QString& saying) {
        row(name, [&](Sending& s) {
            s.online = online;
            s.server = server;
            s.attachment = attachment;
            s.hyperLink = hyperLink;
            s.addresses = addresses;
            s.mailer = false;
            s.connectionTests = attachment || hyperLink;
            s.saying = QStringList{saying};
            s.saying.removeAll(QString());
        });
    };
    const QStringList one{u"a@example.test"_s};
    const QString offline = u"Unable to send email - no internet connection."_s;
    const QString noHost = u"Unable to send email - no email host name specified."_s;
    unable("neither attachment nor link", false, {}, false, false, one, {});
    unable("offline", false, u"127.0.0.1"_s, true, false, one, offline);
    unable("offline beats no host", false, {}, false, true, {}, offline);
    unable("no host", true, {}, false, true, one, noHost);
    unable("no host beats no addresses", true, {}, true, true, {}, noHost);
    unable("no addresses", true, u"127.0.0.1"_s, true, false, {},
           u"Unable to send email - no email addresses specified."_s);
    // The sink listens on 127.0.0.1 only: 127.0.0.2 refuses at once.
    row("blanks, empty entries and a refusing host first", [](Sending& s) {
        s.server = u" , 127.0.0.2 ,, 127.0.0.1 ,"_s;
        s.saying = QStringList{u"Email sent to 2 addresses."_s};
        s.arrived = s.connections = 1;
    });
    row("first host takes it", [](Sending& s) {
        s.server = u"127.0.0.1,127.0.0.2"_s;
        s.saying = QStringList{u"Email sent to 2 addresses."_s};
        s.arrived = s.connections = 1;
    });
    row("nothing listens", [](Sending& s) {
        s.deadPort = true;
        s.saying = {u"Mail server 127.0.0.1 port {dead} failed: "_s, u"connect"_s,
                    u"(3 attempts)."_s};
    });
    row("nothing listens on either host", [](Sending& s) {
        s.server = u"127.0.0.2,127.0.0.1"_s;
        s.deadPort = true;
        s.saying = {u"Mail server 127.0.0.2 port {dead} failed: "_s,
                    u". Mail server 127.0.0.1 port {dead} failed: "_s};
    });
    row("server refuses a recipient", [](Sending& s) {
        s.addresses = QStringList{u"ann@example.test"_s, u"b@@x.test"_s};
        s.saying = {u"Mail server 127.0.0.1 port {port} failed: "_s,
                    u"server replied \"553 5.1.3 Error: malformed address\""_s};
        s.connections = 1;
    });
    // Host names go into a URL: nothing may change its meaning.
    const auto invalid = [&](const char* name, const QString& server, const QString& saying) {
        row(name, [&](Sending& s) {
            s.server = server;
            s.saying = QStringList{saying};
        });
    };
    invalid("host with a slash", u"127.0.0.1/x"_s,
            u"Mail server name \"127.0.0.1/x\" holds a character"_s);
    invalid("host with an at", u"127.0.0.1, user@127.0.0.1"_s, u"\"user@127.0.0.1\""_s);
    invalid("host with a question mark", u"127.0.0.1?x"_s, u"\"127.0.0.1?x\""_s);
    invalid("host with a hash", u"127.0.0.1#x"_s, u"\"127.0.0.1#x\""_s);
    invalid("host with a blank", u"mail server"_s, u"\"mail server\""_s);
    invalid("host with a line break", u"127.0.0.1\r\nx"_s, u"\"127.0.0.1 x\""_s);
    invalid("host with a port", u"127.0.0.1:{port}"_s, u"\"127.0.0.1:{port}\""_s);
    invalid("only commas", u" , ,"_s, u"No mail server name given."_s);
    row("sender with a line break", [](Sending& s) {
        s.sender = u"robot@example.test\r\nRCPT TO:<evil@x.test>"_s;
        s.saying = {u"Sender: Address"_s, u"line break"_s};
    });
    row("recipient with a line break", [](Sending& s) {
        s.addresses[1] += u"\r\nRCPT TO:<evil@x.test>"_s;
        s.saying = {u"Address \"bob@example.test RCPT TO:<evil@x.test>\""_s, u"line break"_s};
    });
    row("recipient with brackets", [](Sending& s) {
        s.addresses = QStringList{u"Ann <ann@example.test>"_s};
        s.saying = QStringList{u"Address \"Ann <ann@example.test>\""_s};
    });
    row("archive gone", [](Sending& s) {
        s.archiveExists = false;
        s.saying = QStringList{u"Unable to read the attachment "_s};
    });
    // A connection closed before the greeting is tried again, 3 times in all.
    row("two connections dropped", [](Sending& s) {
        s.sink.dropFirst = 2;
        s.saying = QStringList{u"Email sent to 2 addresses."_s};
        s.arrived = 1;
        s.connections = 3;
    });
    row("three connections dropped", [](Sending& s) {
        s.sink.dropFirst = 3;
        s.saying = {u"Mail server 127.0.0.1 port {port} failed: "_s, u"(3 attempts)."_s};
        s.connections = 3;
    });
    // A server that never greets costs the connect timeout, once.
    row("silent server", [](Sending& s) {
        s.sink.silent = true;
        s.saying = QStringList{u"Mail server 127.0.0.1 port {port} failed: Timeout"_s};
        s.connections = 1;
    });
    // The server took the whole message but never answered its end: it may
    // deliver it, so no other server gets it, nor this one again.
    row("end of the message never answered", [](Sending& s) {
        s.server = u"127.0.0.1,127.0.0.2"_s;
        s.sink.swallowEnd = true;
        s.secondSink = true;
        s.saying = {u"Error sending to 2 addresses. Mail server 127.0.0.1 port {port} failed: "
                    u"Timeout"_s,
                    u"no other server was tried."_s};
        s.arrived = s.connections = 1;
    });
}

void EmailStepTest::outcome() {
    QFETCH(Sending, sending);
    SmtpSink sink(sending.sink);
    QVERIFY(sink.started());
    std::optional<SmtpSink> second;
    if (sending.secondSink)
        QVERIFY(
            second.emplace(SmtpSinkMode{0, false, false, u"127.0.0.2"_s, sink.port()}).started());
    const int dead = unusedPort();
    QVERIFY(dead > 0);
    const auto fill = [&](QString text) {
        return text.replace(u"{port}"_s, QString::number(sink.port()))
            .replace(u"{dead}"_s, QString::number(dead));
    };
    StepWorld w;
    w.online = sending.online;
    w.timeouts = {2, 2, 2}; // servers answer at once here; silence is failure
    ZipScriptEmail e = email(sending.attachment, sending.hyperLink, sending.addresses);
    e.sender = sending.sender;
    if (!sending.archiveExists)
        QVERIFY(QFile::remove(w.archive));
    w.send(e, fill(sending.server), sending.deadPort ? dead : sink.port());

    QCOMPARE(w.fx.messages.size(), sending.saying.isEmpty() ? 0 : 1);
    const QString line = w.fx.messages.value(0);
    if (sending.mailer && sending.arrived == 0)
        QVERIFY2(line.startsWith(u"Error sending to %1 addresses. "_s.arg(e.addresses.size())),
                 qPrintable(line));
    QVERIFY2(!line.contains(u'\r') && !line.contains(u'\n'), qPrintable(line));
    for (const QString& part : sending.saying)
        QVERIFY2(line.contains(fill(part)), qPrintable(line + u" lacks "_s + fill(part)));
    QCOMPARE(w.connectionTests, sending.connectionTests);
    QCOMPARE(w.mailersMade, int(sending.mailer));
    QCOMPARE(sink.messages().size(), sending.arrived);
    QCOMPARE(sink.connections(), sending.connections);
    QVERIFY(!second || second->connections() == 0);
}

// The step as the application plugs it in, driven by a zip run: the message
// carries the archive the run made and links to its first copy.
void EmailStepTest::zipRunSendsThroughTheStep() {
    SmtpSink sink;
    QVERIFY(sink.started());
    RunnerFixture fx;
    fx.settings.mailServer = u"127.0.0.1"_s;
    fx.settings.mailServerPort = qint16(sink.port());
    fx.context.email = MakeEmailStep(fx.context, [] { return true; });
    fx.writeFile("src/a.txt", "alpha");
    fx.writeScript(u"mail.zsc"_s, {{u"File1"_s, u"@/src/*.txt"_s},
                                   {u"Dir1"_s, u"@/out1"_s},
                                   {u"ZipFile"_s, u"Backup"_s},
                                   {u"Attachment"_s, u"Yes"_s},
                                   {u"HyperLink"_s, u"Yes"_s},
                                   {u"EmailAddress1"_s, u"ann@example.test"_s},
                                   {u"Sender"_s, u"robot@example.test"_s}});
    QCOMPARE(int(RunZipScript(u"mail.zsc"_s, fx.context)), 0);
    QCOMPARE(fx.messages, QStringList{u"Email sent to 1 addresses."_s});
    const QList<QJsonObject> arrived = sink.messages();
    QCOMPARE(arrived.size(), 1);
    QCOMPARE(arrived[0][u"text"_s].toString(),
             u"Zip file can be accessed from "_s + fx.path("out1/Backup.zip") + u"\n\n"_s);
    const QJsonValue file = arrived[0][u"attachments"_s].toArray().at(0);
    QVERIFY(QByteArray::fromBase64(file[u"data"_s].toString().toLatin1()) ==
            readFile(fx.path("out1/Backup.zip")));
}

QTEST_GUILESS_MAIN(EmailStepTest)
#include "tst_email_step.moc"
