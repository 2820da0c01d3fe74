#include "runner/EmailStep.h"

#include "storage/PathText.h"
#include "storage/ZipScript.h"

using namespace Qt::StringLiterals;

namespace tarvik {
namespace {

// The number of tries a host gets when its connection breaks at once.
constexpr int kAttemptsPerHost = 3;

QString messageText(const ZipScript& script) {
    const ZipScriptEmail& e = script.email;
    if (!e.hyperLink)
        return e.body;
    QString link = e.hyperLinkPath;
    if (link.isEmpty())
        link = JoinPath(script.options.directories.value(0), script.options.zipFile + u".zip"_s);
    return u"Zip file can be accessed from "_s + link + u"\r\n\r\n"_s + e.body;
}

} // namespace

EmailStep MakeEmailStep(RunContext& context, std::function<bool()> connectionTest,
                        MailerFactory mailerFactory) {
    return [&context, connectionTest = std::move(connectionTest),
            mailerFactory = std::move(mailerFactory)](const ZipScript& script,
                                                      const QString& archive) {
        const auto report = [&context](const QString& line) {
            if (context.messages)
                context.messages(line);
        };
        const ZipScriptEmail& e = script.email;
        if (!e.attachment && !e.hyperLink)
            return;
        if (!connectionTest()) {
            report(u"Unable to send email - no internet connection."_s);
            return;
        }
        if (context.settings.mailServer.isEmpty()) {
            report(u"Unable to send email - no email host name specified."_s);
            return;
        }
        if (e.addresses.isEmpty() || e.addresses.first().isEmpty()) {
            report(u"Unable to send email - no email addresses specified."_s);
            return;
        }

        MailMessage m;
        m.hosts = context.settings.mailServer;
        m.port = context.settings.effectiveMailPort();
        m.attemptsPerHost = kAttemptsPerHost;
        m.mailerName = u"Tarvik"_s;
        m.senderAddress = e.sender;
        m.senderName = e.senderName;
        m.recipients = e.addresses;
        m.subject = e.subject;
        m.text = messageText(script);
        if (e.attachment)
            m.attachment = archive;
        m.date = context.clock ? context.clock() : QDateTime::currentDateTime();

        const QString count = QString::number(e.addresses.size());
        const std::unique_ptr<Mailer> mailer = mailerFactory();
        const MailResult result =
            mailer ? mailer->send(m) : MailResult{false, u"No mail component."_s};
        if (result.sent)
            report(u"Email sent to "_s + count + u" addresses."_s);
        else
            report(u"Error sending to "_s + count + u" addresses. "_s + result.error);
    };
}

} // namespace tarvik
