#pragma once

#include <QString>

// The names of the database file and the rules that build them from the paths the ERP
// gives. Pure text functions: none looks at the disk.
namespace orvalis {

// The database file's name while the updater holds it, and its own name.
inline const QString kNomeArquivoRetido = QStringLiteral("OLD_RIVELOBASE.FDB");
inline const QString kNomeArquivoVivo = QStringLiteral("RIVELOBASE.FDB");

// The folder part of `caminho` (ExtrairPastaArquivo) + "\" + `nome`.
QString ArquivoNaPastaDe(const QString& caminho, const QString& nome);

// Splits a Firebird connection text into its server prefix ("srv:" or "localhost:",
// colon included; empty when there is none) and its path part. A drive path
// ("C:\...", "C:x"), a UNC path ("\\srv\share\...") or a path without any ":" has
// no prefix.
void SepararServidor(const QString& banco, QString* servidor, QString* caminho);

}  // namespace orvalis
