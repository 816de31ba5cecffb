#pragma once

#include "liberacao/ChavePrivadaEd25519.h"
#include "liberacao/ManifestoLiberacao.h"
#include "net/Endpoints.h"
#include "tests/support/ServidorCorreio.h"
#include "tests/support/ServidoresLocais.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace orvalis::teste {

// The vendor for a whole server update, on 127.0.0.1: the web site (files host and main
// site over https, main site over http) serving a release folder, the FTP release folder
// with its release entry, and the mail host (SMTP with implicit TLS, POP3). Built for
// the test of the real program and for the demonstration.
//
// The standard release holds every package a run fetches: the archiver and the
// assistant, the DLL package, the three support packages, the application packages of
// orvalisEmpresa.exe, orvalisAssistente.exe, orvalisConectado.exe and
// orvalisMonitorPublicacao.exe, and "sql.rar" with the given SQL packages. Every
// executable holds the text "<name> <version>". Unsigned unless a test signs it
// (Assinar); Fornecedor() then carries the stand-in's public key.
class FornecedorLocal {
  public:
    struct PacoteSql {
        QString nome;  // e.g. "orvEMP0121.sql"
        std::string conteudo;
    };

    // Packages 121 (a table and a row, its text in Windows-1252) and 122 (a stored
    // procedure with ";" and ":variables" in its body, and a second row).
    static PacoteSql Pacote121();
    static PacoteSql Pacote122();

    FornecedorLocal();
    ~FornecedorLocal();

    // Writes the standard release of `versao` (e.g. "2.8") into the web server's folder.
    void PublicarLiberacao(const QString& versao, const std::vector<PacoteSql>& pacotesSql);
    // Writes one file into the release folder.
    void Publicar(const QString& nome, const std::string& conteudo);
    // Signs the release folder as it stands for `versao`, as orvalisPublicar does, with a
    // throwaway key of this stand-in (made on first use). From then on Fornecedor() and
    // GravarIni() carry the key's public half, so that the updater checks the release. A
    // later Publicar changes a signed folder, as a tampered release would.
    ManifestoLiberacao Assinar(const QString& versao);
    // The throwaway key, made on first use.
    const ChavePrivadaEd25519& Chave();
    // The native folder of the release ("/update/Atualizacao/orvalis Empresa").
    QString PastaLiberacao() const;
    // Signs any native folder with `chave`, through the publisher's own code.
    static ManifestoLiberacao AssinarPasta(const QString& pastaNativa,
                                           const ChavePrivadaEd25519& chave, const QString& versao);
    // Starts every server; `entradaLiberacao` is the name the FTP release folder lists
    // (e.g. "2.8.ERP").
    void Iniciar(const QString& entradaLiberacao);

    // The endpoints that reach these servers.
    Endpoints Fornecedor() const;
    // Writes them as the INI file that ORVALIS_FORNECEDOR names for another process.
    void GravarIni(const QString& caminho) const;

    ServidoresLocais& web() { return web_; }
    ServidorCorreio& smtp() { return *smtp_; }
    ServidorCorreio& pop3() { return *pop3_; }
    // The messages the SMTP server received, oldest first.
    QList<QJsonObject> Mensagens() const;

    // "<name> <version>": the content of an executable of the release.
    static std::string ConteudoExecutavel(const QString& nome, const QString& versao);

  private:
    ServidoresLocais web_;
    std::optional<ChavePrivadaEd25519> chave_;
    bool assinada_ = false;
    std::unique_ptr<ServidorCorreio> smtp_;
    std::unique_ptr<ServidorCorreio> pop3_;
};

}  // namespace orvalis::teste
