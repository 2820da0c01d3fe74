#pragma once

#include "mail/Mailer.h"

#include <memory>

namespace tarvik {

// Sends over SMTP with libcurl: STARTTLS when the server offers it, a
// multipart/mixed message with a UTF-8 text part and the attachment streamed
// from disk as base64.
//
// A host gets 10 seconds to connect and greet, 30 seconds for each later
// reply, and the transfer is dropped when it moves less than one byte a
// second for 30 seconds, so a dead or stalled host costs seconds while a
// large attachment on a slow link still goes through.
class CurlMailer : public Mailer {
public:
    MailResult send(const MailMessage& message) override;
};

std::unique_ptr<Mailer> MakeCurlMailer();

} // namespace tarvik
