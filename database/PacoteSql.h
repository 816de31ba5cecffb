#pragma once

#include <QString>

#include <cstdint>

namespace orvalis {

class Platform;

// The numbered SQL package files of a release, as phase 2 leaves them in the staging
// folder. Stateless.

// `pastaMestre` + "\tmp\orvEMP" + `numero` written with at least four digits + ".sql"
// (62 gives orvEMP0062.sql, 10000 gives orvEMP10000.sql).
QString CaminhoPacote(const QString& pastaMestre, int64_t numero);

// The whole text of a package file: decoded by its byte-order mark (UTF-8, UTF-16 LE
// or BE; the mark itself dropped) or else as Windows-1252, with every line break (CR,
// LF or CR LF) turned into CR LF. Raises ErroOrvalis with the system's message when
// the file cannot be read.
QString LerPacote(Platform& plataforma, const QString& caminho);

}  // namespace orvalis
