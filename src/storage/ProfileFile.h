#pragma once

#include "storage/IniDocument.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

namespace tarvik {

// The settings file: the executable's folder, its base name and ".ini".
// Computed once, on first use.
QString SettingsFilePath();
// Points the settings file elsewhere (tests, a portable layout).
void SetSettingsFilePath(const QString& path);

// Profile text is UTF-8; a file that is not valid UTF-8 was written by the
// Windows program and is taken byte for byte as Latin-1.
QString DecodeProfileText(const QByteArray& bytes);

// Profile files larger than this are not scripts or settings: they are
// treated as unreadable (read as missing, never rewritten).
inline constexpr qint64 kMaxProfileFileSize = 16 * 1024 * 1024;

// The parsed file, or nothing when it does not exist or cannot be read (then
// `error`, when given, holds the reason as an errno value). Only regular files
// are read. An empty file name means the settings file.
std::optional<IniDocument> LoadIniDocument(const QString& file, int* error = nullptr);

// The stored value, or `fallback` when the file, section or key is missing.
QString ReadIni(const QString& section, const QString& key, const QString& fallback,
                const QString& file);

// Stores key = value; an empty value removes the key, an empty key the whole
// section. A missing file is created (owner-only), a missing folder is not.
// Returns false and leaves the file as it was when the write is refused (then
// `error`, when given, holds the reason as an errno value).
bool WriteIni(const QString& section, const QString& key, const QString& value, const QString& file,
              int* error = nullptr);

// Read-modify-write of one file under a lock shared with other processes; the
// file is replaced atomically and keeps its mode, owner and group. When `edit`
// returns false nothing is written, nor when the file already holds exactly
// the result. `replaceWhole` starts from an empty document instead of the
// file's content. A lock held elsewhere for more than a few seconds makes the
// write fail. On failure `error`, when given, holds the reason (errno value).
bool UpdateIni(const QString& file, const std::function<bool(IniDocument&)>& edit,
               bool replaceWhole = false, int* error = nullptr);

// True when the file exists and is longer than zero bytes.
bool ScriptFileExists(const QString& path);

} // namespace tarvik
