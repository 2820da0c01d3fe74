#include "mail/MailText.h"

#include <QHostAddress>
#include <QUuid>
#include <optional>

using namespace Qt::StringLiterals;

namespace tarvik::mailtext {
namespace {

// Lines of the header block are kept within this many columns where the text
// allows; RFC 5322 recommends 78.
constexpr int kLineWidth = 78;
// A plain word longer than this is sent as encoded-words instead, which can be
// folded anywhere; RFC 5322 allows no line longer than 998.
constexpr int kLongestPlainWord = 900;
// UTF-8 bytes per encoded-word: 39 bytes give 52 base64 characters, so a word
// (with its 12 characters of framing) and the header name stay within the 76
// columns RFC 2047 allows.
constexpr int kBytesPerEncodedWord = 39;

bool isControl(char16_t c) {
    return c < 0x20 || c == 0x7f;
}

bool isPrintableAscii(const QString& text) {
    for (const QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() > 0x7e)
            return false;
    return true;
}

bool hasLongWord(const QString& text) {
    qsizetype run = 0;
    for (const QChar c : text) {
        run = c == u' ' ? 0 : run + 1;
        if (run > kLongestPlainWord)
            return true;
    }
    return false;
}

// Folds printable ASCII at blanks: a fold goes before the blank that starts
// a word which would run past the line width.
QByteArray foldAtBlanks(const QByteArray& value, int column) {
    QByteArray out;
    bool lineHasText = false;
    qsizetype i = 0;
    while (i < value.size()) {
        qsizetype j = i;
        while (j < value.size() && value[j] == ' ')
            ++j;
        const bool hasWord = j < value.size();
        while (j < value.size() && value[j] != ' ')
            ++j;
        const QByteArray token = value.mid(i, j - i);
        if (hasWord && lineHasText && token.startsWith(' ') && column + token.size() > kLineWidth) {
            out += "\r\n";
            column = 0;
        }
        out += token;
        column += int(token.size());
        lineHasText = lineHasText || hasWord;
        i = j;
    }
    return out;
}

// UTF-8 encoded-words, one per line after the first, never splitting a
// character between two words.
QByteArray encodedWords(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    QByteArray out;
    qsizetype start = 0;
    while (start < utf8.size()) {
        qsizetype end = qMin(start + kBytesPerEncodedWord, utf8.size());
        while (end < utf8.size() && end > start && (uchar(utf8[end]) & 0xc0) == 0x80)
            --end;
        if (!out.isEmpty())
            out += "\r\n ";
        out += "=?UTF-8?B?" + utf8.mid(start, end - start).toBase64() + "?=";
        start = end;
    }
    return out;
}

bool isHostNameCharacter(QChar c) {
    if (c.unicode() < 0x80)
        return c.isLetterOrNumber() || c == u'-' || c == u'.' || c == u'_';
    // Internationalised names; curl converts them when it resolves them.
    return c.isLetterOrNumber() || c.isMark();
}

// The URL form of one host entry, or nothing when it cannot be used.
std::optional<QString> urlHost(const QString& entry) {
    if (entry.startsWith(u'[') && entry.endsWith(u']')) {
        const QString inner = entry.mid(1, entry.size() - 2);
        const QHostAddress address(inner);
        if (address.protocol() == QAbstractSocket::IPv6Protocol && !inner.contains(u'%'))
            return entry;
        return std::nullopt;
    }
    if (entry.contains(u':')) {
        const QHostAddress address(entry);
        if (address.protocol() == QAbstractSocket::IPv6Protocol && !entry.contains(u'%'))
            return u'[' + entry + u']';
        return std::nullopt;
    }
    for (const QChar c : entry)
        if (!isHostNameCharacter(c))
            return std::nullopt;
    return entry;
}

} // namespace

QString SingleLine(const QString& text) {
    QString out;
    out.reserve(text.size());
    bool inBreak = false;
    for (const QChar c : text) {
        if (c == u'\r' || c == u'\n') {
            if (!inBreak)
                out += u' ';
            inBreak = true;
            continue;
        }
        inBreak = false;
        if (c == u'\t')
            out += u' ';
        else if (!isControl(c.unicode()))
            out += c;
    }
    return out;
}

QByteArray HeaderText(const QString& text, int nameLength) {
    const QString line = SingleLine(text);
    if (isPrintableAscii(line) && !line.contains(u"=?"_s) && !hasLongWord(line))
        return foldAtBlanks(line.toLatin1(), nameLength);
    return encodedWords(line);
}

QByteArray DisplayName(const QString& name, int nameLength) {
    const QString line = SingleLine(name);
    if (line.isEmpty())
        return {};
    if (isPrintableAscii(line) && !hasLongWord(line)) {
        QByteArray quoted = "\"";
        for (const QChar c : line) {
            if (c == u'"' || c == u'\\')
                quoted += '\\';
            quoted += char(c.unicode());
        }
        return foldAtBlanks(quoted + '"', nameLength);
    }
    return encodedWords(line);
}

QByteArray AttachmentDisposition(const QString& fileName) {
    const QString name = SingleLine(fileName);
    if (isPrintableAscii(name)) {
        QByteArray quoted;
        for (const QChar c : name) {
            if (c == u'"' || c == u'\\')
                quoted += '\\';
            quoted += char(c.unicode());
        }
        return "attachment; filename=\"" + quoted + '"';
    }
    // RFC 2231: charset, empty language, then the percent-encoded bytes.
    return "attachment; filename*=UTF-8''" + name.toUtf8().toPercentEncoding("!#$&+^`{|}~");
}

QByteArray AddressList(const QStringList& addresses, int nameLength) {
    QByteArray out;
    int column = nameLength;
    for (const QString& address : addresses) {
        const QByteArray a = SingleLine(address).toUtf8();
        if (!out.isEmpty()) {
            if (column + 2 + a.size() > kLineWidth) {
                out += ",\r\n ";
                column = 1;
            } else {
                out += ", ";
                column += 2;
            }
        }
        out += a;
        column += int(a.size());
    }
    return out;
}

QByteArray CrLfText(const QString& text) {
    QString unix = text;
    unix.replace(u"\r\n"_s, u"\n"_s).replace(u'\r', u'\n');
    return unix.toUtf8().replace("\n", "\r\n");
}

QByteArray MessageId(const QString& senderAddress) {
    QString domain = senderAddress.section(u'@', -1);
    bool usable = senderAddress.contains(u'@') && !domain.isEmpty();
    for (const QChar c : domain)
        usable = usable && c.unicode() < 0x80 && (c.isLetterOrNumber() || c == u'-' || c == u'.');
    if (!usable)
        domain = u"localhost"_s;
    return '<' + QUuid::createUuid().toByteArray(QUuid::WithoutBraces) + '@' + domain.toLatin1() +
           '>';
}

QByteArray DateText(const QDateTime& time) {
    const QDateTime t = time.isValid() ? time : QDateTime::currentDateTime();
    return t.toString(Qt::RFC2822Date).toLatin1();
}

QString AddressProblem(const QString& address) {
    const QString shown = u'"' + SingleLine(address) + u'"';
    if (address.isEmpty())
        return u"An address is empty."_s;
    for (const QChar c : address) {
        if (isControl(c.unicode()))
            return u"Address "_s + shown + u" holds a line break or another control character."_s;
        if (c.isSpace())
            return u"Address "_s + shown + u" holds a blank."_s;
        if (c == u'<' || c == u'>' || c == u',' || c == u';')
            return u"Address "_s + shown + u" holds a character an address cannot have ("_s + c +
                   u")."_s;
    }
    return {};
}

HostList ParseHostList(const QString& text) {
    HostList list;
    for (const QString& part : text.split(u',')) {
        const QString entry = part.trimmed();
        if (entry.isEmpty())
            continue;
        const std::optional<QString> host = urlHost(entry);
        if (!host) {
            return {{},
                    u"Mail server name \""_s + SingleLine(entry) +
                        u"\" holds a character a host name cannot have."_s};
        }
        list.hosts.append(*host);
    }
    if (list.hosts.isEmpty())
        list.error = u"No mail server name given."_s;
    return list;
}

} // namespace tarvik::mailtext
