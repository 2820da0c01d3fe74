#include "RunnerFixture.h"
#include "SmtpSink.h"
#include "runner/BatchMode.h"
#include "runner/EmailStep.h"
#include "runner/ZipRunner.h"
#include "storage/ZipScript.h"

#include <QJsonArray>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QSysInfo>
#include <QTest>
#include <optional>

using namespace tarvik;
using namespace Qt::StringLiterals;

namespace {

// The script's e-mail settings and what the message shows ({dir1}: the
// script's first directory; an empty name or subject: as given).
struct Mail {
    bool attachment = true, hyperLink = false;
    QStringList addresses{u"ann@example.test"_s, u"bob@example.test"_s};
    QString sender = u"robot@example.test"_s, senderName = u"Backup Robot"_s;
    QString subject = u"Nightly backup"_s, body = u"Body"_s, linkPath{};
    QString text = u"Body"_s, shownName{}, shownSubject{};
};

// A sending and what it comes to: the parts of the line the step says (none:
// no line; {port} the sink's port, {dead} one where nothing listens), the
// messages and connections the sink sees.
struct Sending {
    QString server = u"127.0.0.1"_s;
    QStringList saying{};
    int arrived = 0, connections = 0;
    bool deadPort = false;
    SmtpSinkMode sink{};
    bool secondSink = false; // a plain sink on 127.0.0.2 that must get nothing
    bool archiveExists = true, online = true;
    bool mailer = true; // else the step gives up before making one
    Mail mail{};
};

// Lines a careless SMTP client would end the message at, then all bytes.
const QByteArray kArchive = "PK\x03\x04\r\n.\r\n..\n.\r\nFrom x\r\n" + mixedData(120000, 7, true);

} // namespace

Q_DECLARE_METATYPE(Mail)
Q_DECLARE_METATYPE(Sending)

class EmailStepTest : public QObject {
    Q_OBJECT
private slots:
    void outcome_data();
    void outcome();
    // The step as the application plugs it into a zip run (its message carries
    // the archive the run made); then one message per run about its failed
    // scripts, which never changes the run's result.
    void failureAlert_data();
    void failureAlert();
};

void EmailStepTest::outcome_data() {
    QTest::addColumn<Sending>("sending");
    const auto row = [](const char* name, const Sending& s) { QTest::newRow(name) << s; };
    // Messages that arrive, with what they show.
    const auto mailRow = [&row](const char* name, const Mail& m) {
        row(name, {.saying = {u"Email sent to %1 addresses."_s.arg(m.addresses.size())},
                   .arrived = 1,
                   .connections = 1,
                   .mail = m});
    };
    const QString link = u"Zip file can be accessed from "_s;
    mailRow("link to the first directory's copy, and the file",
            {.hyperLink = true, .text = link + u"{dir1}/Backup.zip\n\nBody"_s});
    mailRow("link path given, no file", {.attachment = false,
                                         .hyperLink = true,
                                         .addresses = {u"ann@example.test"_s},
                                         .linkPath = u"\\\\files\\share\\Backup.zip"_s,
                                         .text = link + u"\\\\files\\share\\Backup.zip\n\nBody"_s});
    mailRow("file only: the text is the body", {.linkPath = u"ignored"_s});
    mailRow("script defaults: sender without @",
            {.sender = u"Tarvik"_s, .senderName = {}, .subject = {}, .body = {}, .text = {}});
    mailRow("non-ASCII name, subject, sender and body",
            {.hyperLink = true,
             .sender = u"jörg@example.test"_s,
             .senderName = u"Jörg Müller-Lüdenscheidt"_s,
             .subject = u"Sicherung für März ✓ — 日本語のテキストと長い尾 in several words"_s,
             .body = u"Grüße\nZeile 2 – 🙂"_s,
             .text = link + u"{dir1}/Backup.zip\n\nGrüße\nZeile 2 – 🙂"_s});
    mailRow(
        "quotes in the name, long ASCII subject",
        {.senderName = u"Ops \"night\" \\ team"_s, .subject = u"word "_s.repeated(40) + u"end"_s});
    const QString lines = u".\r\n..\n.x\r\n"_s + u"a"_s.repeated(1500) + u"\nend"_s;
    mailRow("dot lines, long line, CR LF and bare LF in the body",
            {.attachment = false,
             .hyperLink = true,
             .body = lines,
             .linkPath = u"http://files/Backup.zip"_s,
             .text = link + u"http://files/Backup.zip\n\n"_s + QString(lines).remove(u'\r')});
    // Line breaks in header values must not start new headers.
    mailRow("CR, LF, CR LF and a blank line in the subject",
            {.subject = u"Weekly\r\n\r\nBcc: evil@x.test\rCc: a@x.test\nTo: b@x.test"_s,
             .shownSubject = u"Weekly Bcc: evil@x.test Cc: a@x.test To: b@x.test"_s});
    mailRow("line break in the sender name", {.senderName = u"Robot\r\nBcc: evil@x.test"_s,
                                              .shownName = u"Robot Bcc: evil@x.test"_s});
    const QStringList sent{u"Email sent to 2 addresses."_s};
    const Mail none{.attachment = false}, noAddresses{.addresses = {}};
    // Checked in this order, before any mailer is made.
    const QStringList offline{u"Unable to send email - no internet connection."_s};
    const QStringList noHost{u"Unable to send email - no email host name specified."_s};
    row("neither attachment nor link",
        {.server = {}, .online = false, .mailer = false, .mail = none});
    row("offline", {.saying = offline, .online = false, .mailer = false});
    row("offline beats no host",
        {.server = {}, .saying = offline, .online = false, .mailer = false, .mail = noAddresses});
    row("no host", {.server = {}, .saying = noHost, .mailer = false});
    row("no host beats no addresses",
        {.server = {}, .saying = noHost, .mailer = false, .mail = noAddresses});
    row("no addresses", {.saying = {u"Unable to send email - no email addresses specified."_s},
                         .mailer = false,
                         .mail = noAddresses});
    // The sink listens on 127.0.0.1 only: 127.0.0.2 refuses at once.
    row("blanks, empty entries and a refusing host first",
        {.server = u" , 127.0.0.2 ,, 127.0.0.1 ,"_s,
         .saying = sent,
         .arrived = 1,
         .connections = 1});
    row("first host takes it",
        {.server = u"127.0.0.1,127.0.0.2"_s, .saying = sent, .arrived = 1, .connections = 1});
    row("nothing listens", {.saying = {u"Mail server 127.0.0.1 port {dead} failed: "_s,
                                       u"connect"_s, u"(3 attempts)."_s},
                            .deadPort = true});
    row("nothing listens on either host",
        {.server = u"127.0.0.2,127.0.0.1"_s,
         .saying = {u"Mail server 127.0.0.2 port {dead} failed: "_s,
                    u". Mail server 127.0.0.1 port {dead} failed: "_s},
         .deadPort = true});
    row("server refuses a recipient",
        {.saying = {u"Mail server 127.0.0.1 port {port} failed: "_s,
                    u"server replied \"553 5.1.3 Error: malformed address\""_s},
         .connections = 1,
         .mail = {.addresses = {u"ann@example.test"_s, u"b@@x.test"_s}}});
    // Host names go into a URL: nothing may change its meaning.
    for (const auto& [server, saying] : std::initializer_list<std::pair<QString, QString>>{
             {u"127.0.0.1/x"_s, u"Mail server name \"127.0.0.1/x\" holds a character"_s},
             {u"127.0.0.1, user@127.0.0.1"_s, u"\"user@127.0.0.1\""_s},
             {u"127.0.0.1\r\nx"_s, u"\"127.0.0.1 x\""_s},
             {u"127.0.0.1:{port}"_s, u"\"127.0.0.1:{port}\""_s},
             {u" , ,"_s, u"No mail server name given."_s}})
        QTest::addRow("host %s", qPrintable(server))
            << Sending{.server = server, .saying = {saying}};
    row("sender with a line break",
        {.saying = {u"Sender: Address"_s, u"line break"_s},
         .mail = {.sender = u"robot@example.test\r\nRCPT TO:<evil@x.test>"_s}});
    row("recipient with a line break",
        {.saying = {u"Address \"bob@example.test RCPT TO:<evil@x.test>\""_s, u"line break"_s},
         .mail = {.addresses = {u"ann@example.test"_s,
                                u"bob@example.test\r\nRCPT TO:<evil@x.test>"_s}}});
    row("recipient with brackets", {.saying = {u"Address \"Ann <ann@example.test>\""_s},
                                    .mail = {.addresses = {u"Ann <ann@example.test>"_s}}});
    row("archive gone", {.saying = {u"Unable to read the attachment "_s}, .archiveExists = false});
    // A connection closed before the greeting is tried again, 3 times in all.
    row("two connections dropped",
        {.saying = sent, .arrived = 1, .connections = 3, .sink = {.dropFirst = 2}});
    row("three connections dropped",
        {.saying = {u"Mail server 127.0.0.1 port {port} failed: "_s, u"(3 attempts)."_s},
         .connections = 3,
         .sink = {.dropFirst = 3}});
    // A server that never greets costs the connect timeout, once.
    row("silent server", {.saying = {u"Mail server 127.0.0.1 port {port} failed: Timeout"_s},
                          .connections = 1,
                          .sink = {.mode = "silent"}});
    // The server took the whole message but never answered its end: it may
    // deliver it, so no other server gets it, nor this one again.
    row("end of the message never answered",
        {.server = u"127.0.0.1,127.0.0.2"_s,
         .saying = {u"Error sending to 2 addresses. Mail server 127.0.0.1 port {port} failed: "
                    u"Timeout"_s,
                    u"no other server was tried."_s},
         .arrived = 1,
         .connections = 1,
         .sink = {.mode = "swallow-end"},
         .secondSink = true});
}

void EmailStepTest::outcome() {
    QFETCH(Sending, sending);
    SmtpSink sink(sending.sink);
    QVERIFY(sink.started());
    std::optional<SmtpSink> second;
    if (sending.secondSink)
        QVERIFY(
            second.emplace(SmtpSinkMode{.host = u"127.0.0.2"_s, .port = sink.port()}).started());
    const int dead = unusedPort();
    QVERIFY(dead > 0);
    const auto fill = [&](QString text) {
        return text.replace(u"{port}"_s, QString::number(sink.port()))
            .replace(u"{dead}"_s, QString::number(dead));
    };
    RunnerFixture fx;
    int connectionTests = 0, mailersMade = 0;
    if (sending.archiveExists)
        fx.writeFile("tmp/Backup.zip", kArchive);
    const Mail& e = sending.mail;
    ZipScript script;
    script.options.directories = {fx.path("out1"), fx.path("out2")};
    script.options.zipFile = u"Backup"_s;
    script.email = {e.attachment, e.hyperLink, e.linkPath, e.addresses,
                    e.senderName, e.sender,    e.subject,  e.body};
    fx.settings.mailServer = fill(sending.server);
    fx.settings.mailServerPort = qint16(sending.deadPort ? dead : sink.port());
    // Servers answer at once here: silence is failure.
    MakeEmailStep(
        fx.context, [&] { return ++connectionTests, sending.online; },
        [&] {
            return ++mailersMade, std::make_unique<CurlMailer>(MailTimeouts{2, 2, 2});
        })(script, fx.path("tmp/Backup.zip"));

    QCOMPARE(fx.messages.size(), sending.saying.isEmpty() ? 0 : 1);
    const QString line = fx.messages.value(0);
    if (sending.mailer && sending.arrived == 0)
        QVERIFY2(line.startsWith(u"Error sending to %1 addresses. "_s.arg(e.addresses.size())),
                 qPrintable(line));
    QVERIFY2(!line.contains(u'\r') && !line.contains(u'\n'), qPrintable(line));
    for (const QString& part : sending.saying)
        QVERIFY2(line.contains(fill(part)), qPrintable(line + u" lacks "_s + fill(part)));
    QCOMPARE(connectionTests, int(e.attachment || e.hyperLink));
    QCOMPARE(mailersMade, int(sending.mailer));
    QCOMPARE(sink.messages().size(), sending.arrived);
    QCOMPARE(sink.connections(), sending.connections);
    QVERIFY(!second || second->connections() == 0);
    if (sending.arrived == 0)
        return;
    const QJsonObject m = sink.messages().value(0);
    QCOMPARE(m[u"defects"_s].toVariant().toStringList(), QStringList());
    QCOMPARE(m[u"mailFrom"_s].toString(), e.sender);
    QCOMPARE(m[u"rcptTo"_s].toVariant().toStringList(), e.addresses);
    QCOMPARE(m[u"to"_s].toVariant().toStringList(), e.addresses);
    QCOMPARE(m[u"fromName"_s].toString(), e.shownName.isEmpty() ? e.senderName : e.shownName);
    QCOMPARE(m[u"fromAddress"_s].toString(), e.sender);
    QCOMPARE(m[u"subject"_s].toString(), e.shownSubject.isEmpty() ? e.subject : e.shownSubject);
    QCOMPARE(m[u"text"_s].toString(), QString(e.text).replace(u"{dir1}"_s, fx.path("out1")));
    QMultiMap<QString, QString> headers;
    for (const QJsonValue& h : m[u"headers"_s].toArray())
        headers.insert(h[0].toString().toLower(), h[1].toString());
    QCOMPARE(headers.keys().join(u' '),
             u"content-type date from message-id mime-version subject to x-mailer"_s);
    QCOMPARE(headers.value(u"x-mailer"_s), u"Tarvik"_s);
    QCOMPARE(QDateTime::fromString(headers.value(u"date"_s), Qt::RFC2822Date).toUTC(),
             fx.context.clock().toUTC());
    QVERIFY(QRegularExpression(u"^<[^<>@\\s]+@[^<>@\\s]+>$"_s)
                .match(headers.value(u"message-id"_s))
                .hasMatch());
    const QJsonArray files = m[u"attachments"_s].toArray();
    QCOMPARE(files.size(), e.attachment ? 1 : 0);
    if (e.attachment) {
        QCOMPARE(files[0][u"filename"_s].toString(), u"Backup.zip"_s);
        QCOMPARE(files[0][u"contentType"_s].toString(), u"application/zip"_s);
        QCOMPARE(files[0][u"transferEncoding"_s].toString(), u"base64"_s);
        QVERIFY(QByteArray::fromBase64(files[0][u"data"_s].toString().toLatin1()) == kArchive);
    }
    // Header lines keep RFC 5322's limit, and RFC 2047's for lines holding
    // encoded-words, each of which must decode to whole UTF-8 characters.
    const QByteArray raw = QByteArray::fromBase64(m[u"raw"_s].toString().toLatin1());
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

void EmailStepTest::failureAlert_data() {
    QTest::addColumn<bool>("oneFails");
    QTest::addColumn<bool>("serverListens");
    QTest::addColumn<QString>("alertAddress");
    QTest::addColumn<QString>("log"); // the run log's lines, each as far as given
    const QString failed = u"restore.usc  Aborted : No zip file in script file to process."_s;
    const QString a = u"ops@example.test"_s,
                  unsent = RunnerFixture::kStamp + u"  Unable to send the failure alert"_s;
    QTest::newRow("a failure, alert sent") << true << true << a + u", me@example.test"_s << failed;
    QTest::newRow("all finished, nothing sent") << false << true << a << QString();
    QTest::newRow("no alert address") << true << true << QString() << failed;
    QTest::newRow("server unreachable: one log line")
        << true << false << a << failed + u'|' + unsent;
}

void EmailStepTest::failureAlert() {
    QFETCH(bool, oneFails);
    QFETCH(bool, serverListens);
    QFETCH(QString, alertAddress);
    QFETCH(QString, log);
    SmtpSink sink;
    RunnerFixture fx;
    fx.settings.mailServer = u"127.0.0.1"_s;
    fx.settings.mailServerPort = qint16(serverListens ? sink.port() : unusedPort());
    fx.settings.alertAddress = alertAddress;
    fx.context.email = MakeEmailStep(fx.context, [] { return true; });
    fx.writeFile("src/a.txt", "alpha");
    fx.writeScript(u"good.zsc"_s, {{u"File1"_s, u"@/src/*.txt"_s},
                                   {u"Dir1"_s, u"@/out1"_s},
                                   {u"ZipFile"_s, u"Backup"_s},
                                   {u"Attachment"_s, u"Yes"_s},
                                   {u"EmailAddress1"_s, u"ann@example.test"_s}});
    if (oneFails)
        fx.writeScript(u"restore.usc"_s, {{u"Dir1"_s, u"@/out2"_s}});
    QCOMPARE(RunBatch(Command{CommandMode::All, {}}, fx.context),
             oneFails ? kExitAborted : kExitAllFinished);
    QStringList lines = fx.logLines();
    for (QString& line : lines)
        line.truncate(log.section(u'|', &line - lines.data(), &line - lines.data()).size());
    QCOMPARE(lines.join(u'|'), log);
    QList<QJsonObject> arrived = sink.messages();
    QCOMPARE(arrived.size(),
             serverListens + (oneFails && !alertAddress.isEmpty() && serverListens));
    if (arrived.isEmpty())
        return;
    const QJsonValue file = arrived.takeFirst()[u"attachments"_s].toArray().at(0);
    QCOMPARE(QByteArray::fromBase64(file[u"data"_s].toString().toLatin1()),
             readFile(fx.path("out1/Backup.zip")));
    if (arrived.isEmpty())
        return;
    QCOMPARE(arrived[0][u"rcptTo"_s].toVariant().toStringList(),
             (QStringList{u"ops@example.test"_s, u"me@example.test"_s}));
    QCOMPARE(arrived[0][u"subject"_s].toString(),
             u"Tarvik: 1 of 2 scripts failed on "_s + QSysInfo::machineHostName());
    const QString text = arrived[0][u"text"_s].toString();
    QVERIFY2(text.contains(u"restore.usc\n  "_s + fx.kStamp + u"  "_s + fx.settings.scriptFilePath +
                           u'/' + log) &&
                 !text.contains(u"good.zsc"_s),
             qPrintable(text));
}

QTEST_GUILESS_MAIN(EmailStepTest)
#include "tst_email_step.moc"
