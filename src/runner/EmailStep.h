#pragma once

#include "mail/CurlMailer.h"
#include "mail/Mailer.h"
#include "mail/NetworkCheck.h"
#include "runner/RunContext.h"

#include <functional>
#include <memory>

namespace tarvik {

struct ZipScript;

using EmailStep = std::function<void(const ZipScript& script, const QString& archive)>;
using MailerFactory = std::function<std::unique_ptr<Mailer>()>;

// The e-mail step of a zip run, for RunContext::email:
//     context.email = MakeEmailStep(context);
// When the script asks for an attachment or a hyper-link it sends one message
// through the settings' mail server(s) with a fresh mailer and appends one
// line through context.messages telling what happened. It never changes the
// run's result and writes nothing to the run log. The context must outlive
// the step; its settings and messages are read at each call.
EmailStep MakeEmailStep(RunContext& context,
                        std::function<bool()> connectionTest = HasNetworkConnection,
                        MailerFactory mailerFactory = MakeCurlMailer);

} // namespace tarvik
