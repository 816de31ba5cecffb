#pragma once

#include <QByteArray>
#include <QString>

#include <string>

// The program's text conversions, kept in one place. Its own texts are QString
// (UTF-16); these turn them into the bytes a file or a library call expects and back.
namespace orvalis {

// The text in the machine's ANSI code page (Windows-1252); a character outside the
// code page becomes '?'.
QByteArray ToAnsi(const QString& text);
// Windows-1252 bytes as text. The five bytes the code page leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) become U+FFFD.
QString FromAnsi(const QByteArray& bytes);

// UTF-8, for calls into Poco, Firebird, libarchive and the C library (file names).
std::string ToUtf8(const QString& text);
// Bytes that are not UTF-8 become U+FFFD.
QString FromUtf8(const std::string& bytes);

}  // namespace orvalis
