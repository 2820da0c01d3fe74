#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace tarvik {

// One e-mail and the servers to hand it to.
struct MailMessage {
    // Host names separated by commas; blanks around them and empty entries
    // are ignored. They are tried in order until one accepts the message, or
    // until one took its text and then failed without refusing it (it may
    // have delivered it: no other host is tried then).
    QString hosts;
    int port = 25;
    // How often a host is tried when its connection could not be made or
    // broke before the server answered (refused, reset, closed at once).
    // Timeouts and server replies are never retried.
    int attemptsPerHost = 1;
    // Goes into the X-Mailer header.
    QString mailerName;
    QString senderAddress; // sent as given, even without an '@'
    QString senderName;
    QStringList recipients;
    QString subject;
    QString text;
    QString attachment; // path of a file to attach; empty for none
    QDateTime date;     // the Date header; invalid means now
};

struct MailResult {
    bool sent = false;
    QString error; // why it was not sent, naming the host(s) that failed
};

// Sends e-mail. An instance serves one sending.
class Mailer {
public:
    virtual ~Mailer() = default;
    virtual MailResult send(const MailMessage& message) = 0;
};

} // namespace tarvik
