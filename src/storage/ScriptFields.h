#pragma once

#include "storage/IniDocument.h"

#include <QStringList>

// Value conventions shared by script and settings files: booleans and the
// numbered key families (File1, File2, ...), all in section Options.
namespace tarvik {

// On only when the value, lower-cased, is "yes".
bool ReadFlag(const IniDocument& doc, const QString& key);
QString FlagText(bool on); // "Yes" / "No"

// Options value of `key`, empty when missing.
QString ReadText(const IniDocument& doc, const QString& key);

// Sets the key, or removes it when the value is empty. False when the value
// cannot be stored.
bool WriteText(IniDocument& doc, const QString& key, const QString& value);

// prefix1, prefix2, ... up to the first missing or empty value.
QStringList ReadFamily(const IniDocument& doc, const QString& prefix);

// Removes the old family (from 1 up to and including the first missing index)
// and writes `values` gapless from 1. False, with the document unchanged,
// when a value cannot be stored or is empty.
bool WriteFamily(IniDocument& doc, const QString& prefix, const QStringList& values);

} // namespace tarvik
