#pragma once

#include <QString>
#include <QStringList>

namespace orvalis {

// Command-line text in Windows form, to and from separate arguments.
class CommandLineText {
  public:
    // Splits by the usual rule: white space (blanks, tabs and the other control
    // characters) separates arguments, a stretch in double quotes stays inside one
    // argument and the quotes are removed. A backslash is an ordinary character, so
    // that a quoted folder ending in "\" stays whole.
    static QStringList Split(const QString& text);
    // Joins arguments with blanks; an argument that is empty or holds white space is
    // put in double quotes.
    static QString Join(const QStringList& arguments);
};

}  // namespace orvalis
