#include "runner/FailureAlert.h"

#include "mail/CurlMailer.h"
#include "runner/RunLog.h"
#include "storage/PathText.h"

#include <QSysInfo>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace tarvik {

void RunReport::add(const QString& scriptName, quint16 result, const QStringList& logLines) {
    scripts_.append({scriptName, result, logLines});
}

int RunReport::aborted() const {
    return int(std::count_if(scripts_.cbegin(), scripts_.cend(),
                             [](const Script& s) { return s.result == kRunAborted; }));
}

QString RunReport::subject(const QString& host) const {
    return u"Tarvik: %1 of %2 scripts failed on %3"_s.arg(aborted()).arg(count()).arg(host);
}

QString RunReport::body(const QString& host) const {
    QString text = u"%1 of %2 scripts failed on %3.\r\n"_s.arg(aborted()).arg(count()).arg(host);
    for (const Script& s : scripts_) {
        if (s.result != kRunAborted)
            continue;
        text += u"\r\n"_s + s.name + u"\r\n"_s;
        for (const QString& line : s.lines)
            text += u"  "_s + EscapeControls(line) + u"\r\n"_s;
    }
    return text;
}

void SendFailureAlert(const RunReport& report, const RunContext& context) {
    const ProgramSettings& settings = context.settings;
    QStringList addresses;
    for (const QString& address : settings.alertAddress.split(u',', Qt::SkipEmptyParts)) {
        if (!address.trimmed().isEmpty())
            addresses.append(address.trimmed());
    }
    if (report.aborted() == 0 || addresses.isEmpty())
        return;
    const QString host = QSysInfo::machineHostName();
    MailMessage m;
    m.hosts = settings.mailServer;
    m.port = settings.effectiveMailPort();
    m.attemptsPerHost = 3;
    m.mailerName = u"Tarvik"_s;
    m.senderAddress = u"tarvik@"_s + host;
    m.senderName = u"Tarvik"_s;
    m.recipients = addresses;
    m.subject = report.subject(host);
    m.text = report.body(host);
    m.date = context.clock();
    MailResult result{false, u"No mail host name specified."_s};
    if (!settings.mailServer.trimmed().isEmpty()) {
        result = MakeCurlMailer()->send(m);
    }
    if (result.sent)
        return;
    RunLog log(JoinPath(settings.errorFilePath, u"errors.txt"_s), false);
    log.write(context.timeStamp() + u"  Unable to send the failure alert to "_s +
              addresses.join(u", "_s) + u". "_s + result.error);
    log.close(false);
}

} // namespace tarvik
