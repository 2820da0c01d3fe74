#pragma once

#include "mail/Mailer.h"

#include <memory>

namespace tarvik {

// How long a host may take. The defaults make a dead or stalled host cost
// seconds while a large attachment on a slow link still goes through.
struct MailTimeouts {
    long connectSeconds = 10; // TCP connect, greeting, EHLO and STARTTLS
    long replySeconds = 30;   // any later server reply
    long stallSeconds = 30;   // the transfer moving less than one byte a second
};

// Sends over SMTP with libcurl: STARTTLS when the server offers it, a
// multipart/mixed message with a UTF-8 text part and the attachment streamed
// from disk as base64.
//
// Once a server has taken the message's text (it answered DATA with 354),
// a failure without its refusal (a timeout, a dropped connection) leaves open
// whether it delivered the message: no other host is tried then, and that
// host not again, so the message is never sent twice.
class CurlMailer : public Mailer {
public:
    explicit CurlMailer(MailTimeouts timeouts = {}) : timeouts_(timeouts) {}
    MailResult send(const MailMessage& message) override;

private:
    MailTimeouts timeouts_;
};

std::unique_ptr<Mailer> MakeCurlMailer();

} // namespace tarvik
