#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

// Text pieces of an outgoing e-mail: header values that cannot break the
// header block, host names that cannot break the URL.
namespace tarvik::mailtext {

// The text on one line: every run of CR and LF becomes one space, other
// control characters are dropped.
QString SingleLine(const QString& text);

// An unstructured header value (Subject) for a header whose name, with its
// colon and space, takes `nameLength` columns. Printable ASCII stays as it is,
// folded at blanks; anything else becomes UTF-8 encoded-words (RFC 2047).
// Line breaks in `text` never survive.
QByteArray HeaderText(const QString& text, int nameLength);

// The display name part of an address header: a quoted string for printable
// ASCII, encoded-words otherwise; empty for an empty name.
QByteArray DisplayName(const QString& name, int nameLength);

// "attachment; filename=..." for the file name (RFC 2231 for non-ASCII).
QByteArray AttachmentDisposition(const QString& fileName);

// Comma-separated addresses, folded before a line gets too long.
QByteArray AddressList(const QStringList& addresses, int nameLength);

// Text with CR LF line ends, whatever ends it had.
QByteArray CrLfText(const QString& text);

// A Message-ID value, <unique@domain>; the domain is the sender's when it has
// a usable one.
QByteArray MessageId(const QString& senderAddress);

// The Date header value (RFC 5322); an invalid time means now.
QByteArray DateText(const QDateTime& time);

// Why an envelope address cannot be used (empty text when it can): no text,
// blanks, control characters, or one of <>,; which would break the
// <address> framing or the To header.
QString AddressProblem(const QString& address);

struct HostList {
    QStringList hosts; // ready for smtp://HOST:PORT (IPv6 literals bracketed)
    QString error;     // set when an entry is refused; hosts is then empty
};

// Splits the host text at commas, trims blanks and skips empty entries.
// An entry holding anything but a host name or an IP address (a '/', '@',
// '?', '#', ':' outside an IPv6 literal, blanks, control characters, ...)
// refuses the whole list.
HostList ParseHostList(const QString& text);

} // namespace tarvik::mailtext
