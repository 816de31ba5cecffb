#pragma once

#include <QString>

namespace orvalis {

class Platform;

// Reads one value of a Windows INI file (GetPrivateProfileString): section and key
// names compared without regard to letter case, the file in the ANSI code page. A
// missing file, section or key, and a file that cannot be read, give the default.
class ArquivoIni {
  public:
    ArquivoIni(Platform& plataforma, QString caminho);

    QString LerTexto(const QString& secao, const QString& chave, const QString& padrao) const;

  private:
    Platform& plataforma_;
    QString caminho_;
};

}  // namespace orvalis
