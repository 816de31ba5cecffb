#include "platform/Ansi.h"

#include <Poco/TextConverter.h>
#include <Poco/UTF8Encoding.h>
#include <Poco/Windows1252Encoding.h>

namespace orvalis {

QByteArray ToAnsi(const QString& text) {
    Poco::UTF8Encoding utf8;
    Poco::Windows1252Encoding ansi;
    Poco::TextConverter converter(utf8, ansi, '?');
    const std::string source = ToUtf8(text);
    std::string converted;
    converter.convert(source, converted);
    return QByteArray(converted.data(), static_cast<qsizetype>(converted.size()));
}

QString FromAnsi(const QByteArray& bytes) {
    Poco::Windows1252Encoding ansi;
    Poco::UTF8Encoding utf8;
    // The replacement is U+FFFD rather than '?', so that an undefined byte read back
    // is not mistaken for a question mark of the original text.
    Poco::TextConverter converter(ansi, utf8, 0xFFFD);
    const std::string source(bytes.constData(), static_cast<size_t>(bytes.size()));
    std::string converted;
    converter.convert(source, converted);
    return FromUtf8(converted);
}

std::string ToUtf8(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return std::string(utf8.constData(), static_cast<size_t>(utf8.size()));
}

QString FromUtf8(const std::string& bytes) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

}  // namespace orvalis
