#pragma once

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace orvalis {

class SequentialFile;

// SHA-256 through OpenSSL's EVP digest interface, fed in pieces. One object computes one
// digest: Acrescentar any number of times, then Concluir once. OpenSSL's failures become
// ErroOrvalis.
class ResumoSha256 {
  public:
    static constexpr int kTamanho = 32;

    ResumoSha256();
    ~ResumoSha256();
    ResumoSha256(const ResumoSha256&) = delete;
    ResumoSha256& operator=(const ResumoSha256&) = delete;

    void Acrescentar(const char* dados, size_t tamanho);
    // The 32 bytes of the digest of everything given.
    QByteArray Concluir();

    static QByteArray De(const QByteArray& dados);

    // Reads `arquivo` from where it stands to its end through one buffer of fixed size
    // (the memory used does not depend on the file) and gives its digest and the number
    // of bytes read. Stops early, with false, when a read fails (the owning platform's
    // last error says why) or, with `limite` >= 0, as soon as more than `limite` bytes
    // have come (*tamanho is then above `limite` and *resumo empty).
    static bool DeArquivo(SequentialFile& arquivo, QByteArray* resumo, uint64_t* tamanho,
                          int64_t limite = -1);

  private:
    struct Contexto;
    std::unique_ptr<Contexto> contexto_;
};

}  // namespace orvalis
