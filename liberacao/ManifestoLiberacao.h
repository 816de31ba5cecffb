#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <map>
#include <optional>

namespace orvalis {

// The release manifest, orvalisLiberacao.ini: the release's version and, for every
// package file of the release folder, its size and SHA-256. Its text is fixed to the
// byte, because the signature covers those bytes and other tools produce and read it:
//
//   [liberacao]<CR LF>
//   versao=<version><CR LF>
//   <CR LF>
//   [pacotes]<CR LF>
//   <name>=<size in bytes> <SHA-256 in 64 lowercase hex digits><CR LF>   (one per package)
//
// Ler is strict and refuses rather than guesses: a byte outside printable ASCII besides
// the CR LF pairs, a lone CR or LF, a last line without its CR LF, a section or key
// other than these in this order (unknown keys, comments, extra or missing blank lines,
// other letter case), a version or name that Versao/NomeValido refuse, a size with a
// sign, a leading zero, other characters or above 2^63 - 1, anything but one blank
// between size and digest, a digest of another length or with capital letters, and a
// name listed twice. The order of the rows is not checked; Texto writes them sorted by
// their bytes.
class ManifestoLiberacao {
  public:
    static inline const QString kArquivo = QStringLiteral("orvalisLiberacao.ini");
    static inline const QString kArquivoAssinatura = QStringLiteral("orvalisLiberacao.sig");
    static constexpr int kMaximoVersao = 64;
    static constexpr int kMaximoNome = 255;

    struct Pacote {
        uint64_t tamanho = 0;
        QByteArray sha256;  // the 32 bytes
        bool operator==(const Pacote&) const = default;
    };

    ManifestoLiberacao(QString versao, std::map<QString, Pacote> pacotes);

    static std::optional<ManifestoLiberacao> Ler(const QByteArray& texto);
    // The text above. A version or name that cannot go into it raises ErroOrvalis.
    QByteArray Texto() const;

    const QString& versao() const { return versao_; }
    const std::map<QString, Pacote>& pacotes() const { return pacotes_; }
    // The row of a package, by its name exactly (letter case counts); null when none.
    const Pacote* Procurar(const QString& nome) const;

    // 1 to 64 characters of printable ASCII (blank to "~") without "=", "[", "]", ";" and
    // '"', neither beginning nor ending with a blank: what every INI reader takes back
    // unchanged.
    static bool VersaoValida(const QString& versao);
    // 1 to 255 characters of printable ASCII without "=" and without the characters that
    // Windows refuses in a file name (\ / : * ? " < > |); it neither begins with a blank,
    // "[", ";" or "#" nor ends with a blank or "." (which Windows drops).
    static bool NomeValido(const QString& nome);

  private:
    QString versao_;
    std::map<QString, Pacote> pacotes_;
};

}  // namespace orvalis
