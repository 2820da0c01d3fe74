#pragma once

#include <QByteArray>
#include <QString>

namespace tarvik {

// File names here are bytes. Most are UTF-8; names written under another
// locale (Latin-1 "caf\xe9.txt") are not, and must survive as the bytes they
// are: to be zipped, matched, extracted and deleted.

// True when the bytes are well-formed UTF-8 (RFC 3629).
bool IsUtf8(const QByteArray& bytes);

// The name as text to match and split: UTF-8 decoded, each byte that is not
// part of a well-formed sequence kept as the lone surrogate U+DC00 + byte.
QString NameText(const QByteArray& bytes);

// The bytes NameText() came from; any other text comes back as UTF-8.
QByteArray NameBytes(const QString& text);

// The name for a person to read in a log line or message: UTF-8 as it is,
// every other byte written \xNN.
QString ReadableName(const QByteArray& bytes);

} // namespace tarvik
