#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

namespace orvalis {

class Platform;

// Splits a Windows command line into its arguments, the program's name first:
// white space (blanks, tabs and other control characters) separates them, and a
// stretch in double quotes stays inside one argument with the quotes removed.
QStringList DividirLinhaComando(const QString& linha);

// The arguments of the platform's command line after the program's name.
QStringList Argumentos(Platform& plataforma);

// StrToIntDef: the whole text as a 32-bit integer (leading blanks, a sign, decimal
// digits or "$"/"0x" hexadecimal), or `padrao` when it is not one.
int32_t TextoParaInteiro(const QString& texto, int32_t padrao);

}  // namespace orvalis
