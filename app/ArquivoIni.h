#pragma once

#include <QString>

namespace orvalis {

class Platform;

// Reads one value of a Windows INI file as GetPrivateProfileString reads it: the file
// in the ANSI code page; section and key names compared without regard to letter case;
// blanks around names and values dropped; a value enclosed in a pair of equal quotation
// marks (double or single) without them. Only the first section of a name is read, and
// within it the first line of the key: later repeats are never seen. A missing file,
// section or key, a key line without "=", and a file that cannot be read give the
// default.
class ArquivoIni {
  public:
    ArquivoIni(Platform& plataforma, QString caminho);

    QString LerTexto(const QString& secao, const QString& chave, const QString& padrao) const;

  private:
    Platform& plataforma_;
    QString caminho_;
};

}  // namespace orvalis
