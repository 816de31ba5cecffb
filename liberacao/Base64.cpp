#include "liberacao/Base64.h"

#include <openssl/evp.h>

#include <climits>

namespace orvalis {

namespace {

bool DoAlfabeto(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
           c == '/';
}

}  // namespace

QByteArray Base64::Codificar(const QByteArray& bytes) {
    QByteArray texto(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    const int tamanho = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(texto.data()),
                                        reinterpret_cast<const unsigned char*>(bytes.constData()),
                                        static_cast<int>(bytes.size()));
    texto.resize(tamanho);
    return texto;
}

std::optional<QByteArray> Base64::Decodificar(const QByteArray& texto) {
    if (texto.size() % 4 != 0 || texto.size() > INT_MAX / 2) return std::nullopt;
    if (texto.isEmpty()) return QByteArray();
    const qsizetype enchimento = texto.endsWith("==") ? 2 : texto.endsWith('=') ? 1 : 0;
    // EVP_DecodeBlock skips blanks around the text and takes "=" anywhere in the last
    // group; only the canonical text is accepted here.
    for (qsizetype i = 0; i < texto.size() - enchimento; ++i) {
        if (!DoAlfabeto(texto[i])) return std::nullopt;
    }
    QByteArray bytes(texto.size() / 4 * 3, '\0');
    const int tamanho = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(bytes.data()),
                                        reinterpret_cast<const unsigned char*>(texto.constData()),
                                        static_cast<int>(texto.size()));
    if (tamanho < 0) return std::nullopt;
    // It counts the padding as zero bytes of output.
    bytes.resize(tamanho - enchimento);
    if (Codificar(bytes) != texto) return std::nullopt;
    return bytes;
}

}  // namespace orvalis
