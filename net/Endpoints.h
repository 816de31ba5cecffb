#pragma once

#include <QString>

namespace orvalis {

// The vendor's endpoints in force for this process: the build-time constants, each
// replaced by the matching key of section [fornecedor] of the INI file that the
// environment variable ORVALIS_FORNECEDOR names. A missing key keeps its constant; a key
// present with an empty value replaces it with the empty text (for chave_publica: no
// check); an unreadable file is reported on standard error and the constants apply.
struct Endpoints {
    QString urlNotas;     // the release-notes site, plain http
    QString urlArquivos;  // base URL 1: the files host over https
    QString urlSite;      // base URL 2: the main site over https
    QString urlSiteHttp;  // base URL 3: the main site over http
    QString ftpHost;
    int ftpPorta = 21;
    QString ftpUsuarioArquivos;  // the release account, files-host form
    QString ftpUsuarioSite;      // the release account, main-domain form
    QString ftpSenha;
    QString emailHost;
    int smtpPorta = 465;
    int pop3Porta = 110;
    QString emailConta;    // the updater's mailbox
    QString emailSuporte;  // the support mailbox
    QString emailSenha;
    // The vendor's Ed25519 public key, standard base64 of its 32 raw bytes. Empty: the
    // release is installed unchecked, as without signatures. Any other text must be a
    // valid key: one that is not makes phase 2 refuse the release (never an unchecked
    // install).
    QString chavePublica;

    // The build-time constants alone.
    static Endpoints Constantes();
    // The constants with the overrides of `arquivoIni` (a native path) applied.
    static Endpoints Carregar(const QString& arquivoIni);
    // Every replaceable value as the INI text that Carregar reads back (section
    // [fornecedor]), for a process started with ORVALIS_FORNECEDOR.
    QString TextoIni() const;
    // This process's endpoints, loaded once on first use.
    static const Endpoints& Atuais();
    // Replaces this process's endpoints from here on (a test pointing the whole program
    // at its local servers). References from Atuais() see the new values.
    static void Substituir(const Endpoints& novos);
};

}  // namespace orvalis
