#include "liberacao/ChavePrivadaEd25519.h"

#include "app/Erros.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <utility>

namespace orvalis {

namespace {

[[noreturn]] void Falhar(const char* operacao) {
    ERR_clear_error();
    throw ErroOrvalis(
        QStringLiteral("Falha na criptografia Ed25519 (%1).").arg(QString::fromLatin1(operacao)));
}

// A pass phrase is never asked for: an encrypted key is not a key this tool reads.
int SemSenha(char*, int, int, void*) {
    return 0;
}

std::shared_ptr<EVP_PKEY> Possuir(EVP_PKEY* chave) {
    return std::shared_ptr<EVP_PKEY>(chave, EVP_PKEY_free);
}

}  // namespace

ChavePrivadaEd25519::ChavePrivadaEd25519(std::shared_ptr<EVP_PKEY> chave)
    : chave_(std::move(chave)) {}

ChavePrivadaEd25519 ChavePrivadaEd25519::Gerar() {
    EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new_id(EVP_PKEY_ED25519, nullptr);
    EVP_PKEY* chave = nullptr;
    const bool gerada =
        ctx != nullptr && EVP_PKEY_keygen_init(ctx) == 1 && EVP_PKEY_keygen(ctx, &chave) == 1;
    EVP_PKEY_CTX_free(ctx);
    if (!gerada) Falhar("geração da chave");
    return ChavePrivadaEd25519(Possuir(chave));
}

std::optional<ChavePrivadaEd25519> ChavePrivadaEd25519::DePem(const QByteArray& pem) {
    BIO* entrada = BIO_new_mem_buf(pem.constData(), static_cast<int>(pem.size()));
    if (entrada == nullptr) Falhar("leitura da chave");
    EVP_PKEY* chave = PEM_read_bio_PrivateKey(entrada, nullptr, SemSenha, nullptr);
    BIO_free(entrada);
    ERR_clear_error();
    if (chave == nullptr) return std::nullopt;
    std::shared_ptr<EVP_PKEY> possuida = Possuir(chave);
    if (EVP_PKEY_get_id(chave) != EVP_PKEY_ED25519) return std::nullopt;
    return ChavePrivadaEd25519(std::move(possuida));
}

QByteArray ChavePrivadaEd25519::Pem() const {
    BIO* saida = BIO_new(BIO_s_mem());
    if (saida == nullptr) Falhar("gravação da chave");
    if (PEM_write_bio_PrivateKey(saida, chave_.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1) {
        BIO_free(saida);
        Falhar("gravação da chave");
    }
    char* dados = nullptr;
    const long tamanho = BIO_get_mem_data(saida, &dados);
    QByteArray pem(dados, static_cast<qsizetype>(tamanho));
    // The memory BIO's copy of the key goes back to the allocator wiped.
    OPENSSL_cleanse(dados, static_cast<size_t>(tamanho));
    BIO_free(saida);
    return pem;
}

QByteArray ChavePrivadaEd25519::Assinar(const QByteArray& mensagem) const {
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    QByteArray assinatura(ChavePublicaEd25519::kTamanhoAssinatura, '\0');
    size_t tamanho = static_cast<size_t>(assinatura.size());
    const bool assinada =
        ctx != nullptr && EVP_DigestSignInit(ctx, nullptr, nullptr, nullptr, chave_.get()) == 1 &&
        EVP_DigestSign(ctx, reinterpret_cast<unsigned char*>(assinatura.data()), &tamanho,
                       reinterpret_cast<const unsigned char*>(mensagem.constData()),
                       static_cast<size_t>(mensagem.size())) == 1 &&
        tamanho == static_cast<size_t>(ChavePublicaEd25519::kTamanhoAssinatura);
    EVP_MD_CTX_free(ctx);
    if (!assinada) Falhar("assinatura");
    return assinatura;
}

ChavePublicaEd25519 ChavePrivadaEd25519::Publica() const {
    QByteArray bruta(ChavePublicaEd25519::kTamanho, '\0');
    size_t tamanho = static_cast<size_t>(bruta.size());
    if (EVP_PKEY_get_raw_public_key(chave_.get(), reinterpret_cast<unsigned char*>(bruta.data()),
                                    &tamanho) != 1 ||
        tamanho != static_cast<size_t>(bruta.size())) {
        Falhar("chave pública");
    }
    std::optional<ChavePublicaEd25519> publica = ChavePublicaEd25519::DeBytes(bruta);
    if (!publica) Falhar("chave pública");
    return *publica;
}

}  // namespace orvalis
