#include "platform/CommandLineText.h"

namespace orvalis {

namespace {

bool IsSpace(QChar c) {
    return c.unicode() <= 32;
}

}  // namespace

QStringList CommandLineText::Split(const QString& text) {
    QStringList arguments;
    QString current;
    bool inArgument = false;
    bool quoted = false;
    for (QChar c : text) {
        if (c == u'"') {
            quoted = !quoted;
            inArgument = true;
        } else if (IsSpace(c) && !quoted) {
            if (inArgument) arguments.push_back(current);
            current.clear();
            inArgument = false;
        } else {
            current += c;
            inArgument = true;
        }
    }
    if (inArgument) arguments.push_back(current);
    return arguments;
}

QString CommandLineText::Join(const QStringList& arguments) {
    QStringList parts;
    for (const QString& argument : arguments) {
        bool needsQuotes = argument.isEmpty();
        for (QChar c : argument) needsQuotes = needsQuotes || IsSpace(c);
        parts.push_back(needsQuotes ? u'"' + argument + u'"' : argument);
    }
    return parts.join(u' ');
}

}  // namespace orvalis
