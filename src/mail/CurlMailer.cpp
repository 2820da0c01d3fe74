#include "mail/CurlMailer.h"

#include "mail/MailText.h"

#include <QFile>
#include <QFileInfo>
#include <chrono>
#include <curl/curl.h>
#include <thread>

using namespace Qt::StringLiterals;

namespace tarvik {
namespace {

constexpr long kStallBytesPerSecond = 1;
constexpr auto kRetryPause = std::chrono::seconds(1);

struct EasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct ListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
struct MimeDeleter {
    void operator()(curl_mime* mime) const { curl_mime_free(mime); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;
using StringList = std::unique_ptr<curl_slist, ListDeleter>;
using MimeHandle = std::unique_ptr<curl_mime, MimeDeleter>;

// Once per process; a function-local static is initialised exactly once even
// when scripts run on several threads.
CURLcode initCurl() {
    static const CURLcode code = curl_global_init(CURL_GLOBAL_DEFAULT);
    return code;
}

QString curlText(CURLcode code) {
    return QString::fromUtf8(curl_easy_strerror(code));
}

// The list keeps its head on success; on failure curl leaves it untouched.
bool append(StringList& list, const QByteArray& line) {
    curl_slist* head = curl_slist_append(list.get(), line.constData());
    if (!head)
        return false;
    (void)list.release();
    list.reset(head);
    return true;
}

// What the server said that matters once a sending failed.
struct Replies {
    QByteArray refusal;        // the last 4xx or 5xx line, for the failure text
    bool textTaken = false;    // DATA was answered 354: the message's text went out
    bool refusedAfter = false; // and the server refused it afterwards
};

// Reads the server's replies; the 221 that answers curl's QUIT afterwards is
// no refusal.
int readReplies(CURL*, curl_infotype type, char* data, size_t size, void* user) {
    if (type != CURLINFO_HEADER_IN)
        return 0;
    auto* replies = static_cast<Replies*>(user);
    for (const QByteArray& line : QByteArray(data, qsizetype(size)).split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed.startsWith("354"))
            replies->textTaken = true;
        if (trimmed.startsWith('4') || trimmed.startsWith('5')) {
            replies->refusal = trimmed;
            replies->refusedAfter = replies->textTaken;
        }
    }
    return 0;
}

struct Attempt {
    bool sent = false;
    bool worthRetrying = false;
    QString failure;
    bool mayHaveArrived = false; // failed after the text went out, with no refusal
};

// The header block shared by every attempt.
struct Prepared {
    QList<QByteArray> headers;
    QByteArray text;
    QByteArray sender;
    QList<QByteArray> recipients;
    QByteArray disposition; // empty without an attachment
    QByteArray attachmentPath;
};

Prepared prepare(const MailMessage& m) {
    using namespace mailtext;
    Prepared p;
    const QByteArray address = '<' + m.senderAddress.toUtf8() + '>';
    const QByteArray name = DisplayName(m.senderName, 6);
    p.headers.append("From: " + (name.isEmpty() ? address : name + ' ' + address));
    p.headers.append("To: " + AddressList(m.recipients, 4));
    p.headers.append("Subject: " + HeaderText(m.subject, 9));
    p.headers.append("Date: " + DateText(m.date));
    p.headers.append("Message-ID: " + MessageId(m.senderAddress));
    if (!m.mailerName.isEmpty())
        p.headers.append("X-Mailer: " + HeaderText(m.mailerName, 10));
    p.headers.append("MIME-Version: 1.0");
    p.text = CrLfText(m.text);
    p.sender = address;
    for (const QString& r : m.recipients)
        p.recipients.append('<' + r.toUtf8() + '>');
    if (!m.attachment.isEmpty()) {
        p.disposition =
            "Content-Disposition: " + AttachmentDisposition(QFileInfo(m.attachment).fileName());
        p.attachmentPath = QFile::encodeName(m.attachment);
    }
    return p;
}

Attempt sendOnce(const QByteArray& url, const Prepared& p, const MailTimeouts& timeouts) {
    // Declared before the handle: curl writes into them until it is cleaned
    // up, and the lists and the MIME tree must outlive the transfer.
    char errors[CURL_ERROR_SIZE] = {};
    Replies replies;
    StringList recipients;
    StringList headers;
    MimeHandle mime;

    EasyHandle easy(curl_easy_init());
    if (!easy)
        return {false, false, u"curl could not start a transfer."_s};
    CURL* h = easy.get();

    bool built = true;
    for (const QByteArray& r : p.recipients)
        built = built && append(recipients, r);
    for (const QByteArray& line : p.headers)
        built = built && append(headers, line);

    mime.reset(curl_mime_init(h));
    CURLcode code = mime ? CURLE_OK : CURLE_OUT_OF_MEMORY;
    curl_mimepart* text = mime ? curl_mime_addpart(mime.get()) : nullptr;
    if (!text)
        code = CURLE_OUT_OF_MEMORY;
    if (!code)
        code = curl_mime_data(text, p.text.constData(), size_t(p.text.size()));
    if (!code)
        code = curl_mime_type(text, "text/plain; charset=utf-8");
    if (!code)
        code = curl_mime_encoder(text, "quoted-printable");
    if (!code && !p.attachmentPath.isEmpty()) {
        curl_mimepart* file = curl_mime_addpart(mime.get());
        StringList partHeaders;
        if (!file || !append(partHeaders, p.disposition))
            code = CURLE_OUT_OF_MEMORY;
        if (!code)
            code = curl_mime_filedata(file, p.attachmentPath.constData());
        if (!code)
            code = curl_mime_type(file, "application/zip");
        if (!code)
            code = curl_mime_encoder(file, "base64");
        if (!code)
            code = curl_mime_headers(file, partHeaders.get(), 1);
        if (!code)
            (void)partHeaders.release(); // the part owns it now
    }
    if (!built && !code)
        code = CURLE_OUT_OF_MEMORY;
    if (code)
        return {false, false, u"Unable to build the message: "_s + curlText(code)};

    const auto set = [&](CURLoption option, auto value) {
        if (!code)
            code = curl_easy_setopt(h, option, value);
    };
    set(CURLOPT_URL, url.constData());
#if LIBCURL_VERSION_NUM >= 0x075500
    set(CURLOPT_PROTOCOLS_STR, "smtp");
#endif
    set(CURLOPT_MAIL_FROM, p.sender.constData());
    set(CURLOPT_MAIL_RCPT, recipients.get());
    set(CURLOPT_HTTPHEADER, headers.get());
    set(CURLOPT_MIMEPOST, mime.get());
    set(CURLOPT_USE_SSL, long(CURLUSESSL_TRY));
    set(CURLOPT_CONNECTTIMEOUT, timeouts.connectSeconds);
    set(CURLOPT_SERVER_RESPONSE_TIMEOUT, timeouts.replySeconds);
    set(CURLOPT_LOW_SPEED_LIMIT, kStallBytesPerSecond);
    set(CURLOPT_LOW_SPEED_TIME, timeouts.stallSeconds);
    set(CURLOPT_NOSIGNAL, 1L);
    set(CURLOPT_ERRORBUFFER, static_cast<char*>(errors));
    // The debug callback only runs in verbose mode; it prints nothing.
    set(CURLOPT_DEBUGFUNCTION, &readReplies);
    set(CURLOPT_DEBUGDATA, static_cast<void*>(&replies));
    set(CURLOPT_VERBOSE, 1L);
    if (code)
        return {false, false, u"Unable to set up the transfer: "_s + curlText(code)};

    code = curl_easy_perform(h);
    if (code == CURLE_OK)
        return {true, false, {}};

    long reply = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &reply);
    QString failure = curlText(code);
    const QString detail = QString::fromUtf8(errors).trimmed();
    if (!detail.isEmpty() && detail != failure)
        failure += u" ("_s + detail + u')';
    if (reply >= 400 && !replies.refusal.isEmpty())
        failure += u", server replied \""_s +
                   mailtext::SingleLine(QString::fromUtf8(replies.refusal)) + u'"';
    // Only a connection that never got a word from the server is tried
    // again: nothing of the message can have been accepted yet.
    const bool broken = code == CURLE_COULDNT_CONNECT || code == CURLE_GOT_NOTHING ||
                        code == CURLE_RECV_ERROR || code == CURLE_SEND_ERROR ||
                        code == CURLE_WEIRD_SERVER_REPLY;
    const bool mayHaveArrived = replies.textTaken && !replies.refusedAfter;
    return {false, broken && reply == 0 && !mayHaveArrived, failure, mayHaveArrived};
}

} // namespace

MailResult CurlMailer::send(const MailMessage& m) {
    if (const CURLcode init = initCurl(); init != CURLE_OK)
        return {false, u"curl could not be initialised: "_s + curlText(init)};

    const mailtext::HostList hosts = mailtext::ParseHostList(m.hosts);
    if (!hosts.error.isEmpty())
        return {false, hosts.error};
    if (m.port < 1 || m.port > 65535)
        return {false, u"Port %1 is not a TCP port."_s.arg(m.port)};
    if (m.recipients.isEmpty())
        return {false, u"No recipient addresses."_s};
    for (const QString& r : m.recipients)
        if (const QString problem = mailtext::AddressProblem(r); !problem.isEmpty())
            return {false, problem};
    // An empty sender is the null reverse-path <>, which SMTP allows.
    if (!m.senderAddress.isEmpty())
        if (const QString problem = mailtext::AddressProblem(m.senderAddress); !problem.isEmpty())
            return {false, u"Sender: "_s + problem};
    if (!m.attachment.isEmpty()) {
        QFile file(m.attachment);
        if (!QFileInfo(m.attachment).isFile() || !file.open(QIODevice::ReadOnly))
            return {false, u"Unable to read the attachment "_s + m.attachment + u": "_s +
                               (file.error() ? file.errorString() : u"not a file"_s)};
    }

    const Prepared prepared = prepare(m);
    const int attempts = qMax(1, m.attemptsPerHost);
    QStringList failures;
    for (const QString& host : hosts.hosts) {
        const QByteArray url = "smtp://" + host.toUtf8() + ':' + QByteArray::number(m.port);
        Attempt result;
        int made = 0;
        while (made < attempts) {
            if (made > 0)
                std::this_thread::sleep_for(kRetryPause);
            result = sendOnce(url, prepared, timeouts_);
            ++made;
            if (result.sent)
                return {true, {}};
            if (!result.worthRetrying)
                break;
        }
        QString line =
            u"Mail server %1 port %2 failed: %3"_s.arg(host).arg(m.port).arg(result.failure);
        if (made > 1)
            line += u" (%1 attempts)"_s.arg(made);
        failures.append(line + u'.');
        if (result.mayHaveArrived) {
            failures.append(
                u"The server may have delivered the message: no other server was tried."_s);
            break;
        }
    }
    return {false, failures.join(u' ')};
}

std::unique_ptr<Mailer> MakeCurlMailer() {
    return std::make_unique<CurlMailer>();
}

} // namespace tarvik
