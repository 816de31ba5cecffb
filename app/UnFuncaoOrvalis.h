#pragma once

#include <QString>

namespace orvalis {

class Platform;

// Stateless helpers of the updater. Each takes the platform it works through.

// --- paths ---
// The folder part of a path (ExtractFileDir): up to, not including, its last "\";
// that "\" stays when a "\" or ":" stands before it (the folder part of C:\X.FDB is
// C:\); a ":" after the last "\" ends the folder part, the ":" included. Empty when
// the path has neither, and when its only "\" is its first character (the folder part
// of \X.FDB is empty, so that folder part + "\" + name stays on the drive's root).
QString ExtrairPastaArquivo(const QString& caminho);
// The path up to and including its last "\" or ":" (ExtractFilePath).
QString ExtrairCaminhoArquivo(const QString& caminho);
// The folder of the updater's own executable, without a final "\".
QString PastaAtualizador(Platform& plataforma);

// --- installation folders ---
// The server's data folder, ending with "\": the folder of the database file named
// by [IniServidor] nomearquivo of the connection INI beside the updater, or the
// folder Dados beside the updater's folder when there is no such INI. A missing
// database file or Dados folder is shown in a message box and the program ends at
// its next return to the event loop; the result is returned all the same.
QString BuscarPastaDados(Platform& plataforma);
// Replaces the content of Conectado.txt in the data folder with `texto` and a
// carriage return and line feed, in the ANSI code page. A failure is shown in a
// message box, never raised.
void GravarConectado(Platform& plataforma, const QString& texto);

// --- vendor web endpoints ---
// The first of the vendor's base URLs that answers: the files host over https, else
// the main site over https, else (without a probe) the main site over http.
QString BuscarSiteAtivo();
// True when a GET of the https URL completes with a 2xx status and a whole body; every
// failure is false.
bool TestarUrl(const QString& url);
// Downloads `url` into the file `destino`. True when a 2xx body arrived whole (its
// Content-Length, or its last chunk: a body that only the end of the connection would
// end is not whole); the destination is then replaced. Every network failure is false
// and leaves an existing destination untouched. A destination that cannot be created
// raises ErroOrvalis.
bool BaixarArquivoHttp(Platform& plataforma, const QString& url, const QString& destino);

// --- vendor applications ---
// True when the file-name part of `caminho` (after the last "\" or ":") is one of
// the vendor executables the updater manages, compared letter for letter.
bool AplicativoAtualizavel(const QString& caminho);
// Deletes the lock file of `aplicativo`, if it exists: `caminhoBanco` followed directly
// (no separator) by the application's base name and ".lock". The base name is the part
// of `aplicativo` after its last "\", stripped of leading and trailing characters of
// code 32 or lower, up to its last "." (empty when it has no "."). A missing file is no
// error; nothing is logged or raised.
void ApagarArquivoLock(Platform& plataforma, const QString& aplicativo,
                       const QString& caminhoBanco);

}  // namespace orvalis
