#include "liberacao/ManifestoLiberacao.h"

#include "app/Erros.h"
#include "liberacao/ResumoSha256.h"

#include <QList>

#include <limits>
#include <utility>

namespace orvalis {

namespace {

const QByteArray kQuebra = QByteArrayLiteral("\r\n");
const QByteArray kSecaoLiberacao = QByteArrayLiteral("[liberacao]");
const QByteArray kChaveVersao = QByteArrayLiteral("versao=");
const QByteArray kSecaoPacotes = QByteArrayLiteral("[pacotes]");

bool Imprimivel(char16_t c) {
    return c >= 0x20 && c <= 0x7E;
}

// Decimal digits without a sign or a leading zero, up to 2^63 - 1.
std::optional<uint64_t> LerTamanho(const QByteArray& texto) {
    if (texto.isEmpty() || texto.size() > 19 || (texto.size() > 1 && texto[0] == '0')) {
        return std::nullopt;
    }
    uint64_t valor = 0;
    for (char c : texto) {
        if (c < '0' || c > '9') return std::nullopt;
        valor = valor * 10 + static_cast<uint64_t>(c - '0');
    }
    if (valor > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) return std::nullopt;
    return valor;
}

std::optional<QByteArray> LerResumo(const QByteArray& texto) {
    if (texto.size() != 2 * ResumoSha256::kTamanho) return std::nullopt;
    for (char c : texto) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return std::nullopt;
    }
    return QByteArray::fromHex(texto);
}

}  // namespace

ManifestoLiberacao::ManifestoLiberacao(QString versao, std::map<QString, Pacote> pacotes)
    : versao_(std::move(versao)), pacotes_(std::move(pacotes)) {}

bool ManifestoLiberacao::VersaoValida(const QString& versao) {
    if (versao.isEmpty() || versao.size() > kMaximoVersao) return false;
    if (versao.front() == u' ' || versao.back() == u' ') return false;
    for (QChar c : versao) {
        if (!Imprimivel(c.unicode()) || QStringLiteral("=[];\"").contains(c)) return false;
    }
    return true;
}

bool ManifestoLiberacao::NomeValido(const QString& nome) {
    if (nome.isEmpty() || nome.size() > kMaximoNome) return false;
    if (QStringLiteral(" [;#").contains(nome.front())) return false;
    if (nome.back() == u' ' || nome.back() == u'.') return false;
    for (QChar c : nome) {
        if (!Imprimivel(c.unicode()) || QStringLiteral("=\\/:*?\"<>|").contains(c)) return false;
    }
    return true;
}

std::optional<ManifestoLiberacao> ManifestoLiberacao::Ler(const QByteArray& texto) {
    for (qsizetype i = 0; i < texto.size(); ++i) {
        const char c = texto[i];
        const bool quebra = (c == '\r' && i + 1 < texto.size() && texto[i + 1] == '\n') ||
                            (c == '\n' && i > 0 && texto[i - 1] == '\r');
        if (!quebra && !Imprimivel(static_cast<unsigned char>(c))) return std::nullopt;
    }
    if (!texto.endsWith(kQuebra)) return std::nullopt;
    const QList<QByteArray> linhas = texto.chopped(kQuebra.size()).split('\n');
    // Every line but the last still ends with the CR of its pair.
    QList<QByteArray> limpas;
    for (qsizetype i = 0; i < linhas.size(); ++i) {
        limpas << (i + 1 < linhas.size() ? linhas[i].chopped(1) : linhas[i]);
    }
    if (limpas.size() < 4 || limpas[0] != kSecaoLiberacao || !limpas[1].startsWith(kChaveVersao) ||
        !limpas[2].isEmpty() || limpas[3] != kSecaoPacotes) {
        return std::nullopt;
    }
    const QString versao = QString::fromLatin1(limpas[1].mid(kChaveVersao.size()));
    if (!VersaoValida(versao)) return std::nullopt;

    std::map<QString, Pacote> pacotes;
    for (qsizetype i = 4; i < limpas.size(); ++i) {
        const QByteArray& linha = limpas[i];
        const qsizetype igual = linha.indexOf('=');
        const qsizetype branco = linha.indexOf(' ', igual + 1);
        if (igual < 0 || branco < 0) return std::nullopt;
        const QString nome = QString::fromLatin1(linha.left(igual));
        const std::optional<uint64_t> tamanho =
            LerTamanho(linha.mid(igual + 1, branco - igual - 1));
        const std::optional<QByteArray> resumo = LerResumo(linha.mid(branco + 1));
        if (!NomeValido(nome) || !tamanho || !resumo) return std::nullopt;
        if (!pacotes.emplace(nome, Pacote{*tamanho, *resumo}).second) return std::nullopt;
    }
    return ManifestoLiberacao(versao, std::move(pacotes));
}

QByteArray ManifestoLiberacao::Texto() const {
    if (!VersaoValida(versao_)) {
        throw ErroOrvalis(
            QStringLiteral("A versão \"%1\" não pode ir para o manifesto da liberação.")
                .arg(versao_));
    }
    QByteArray texto = kSecaoLiberacao + kQuebra + kChaveVersao + versao_.toLatin1() + kQuebra +
                       kQuebra + kSecaoPacotes + kQuebra;
    // QString orders by UTF-16 units, which for ASCII is the order of the bytes.
    for (const auto& [nome, pacote] : pacotes_) {
        if (!NomeValido(nome) || pacote.sha256.size() != ResumoSha256::kTamanho) {
            throw ErroOrvalis(
                QStringLiteral("O arquivo \"%1\" não pode ir para o manifesto da liberação.")
                    .arg(nome));
        }
        texto += nome.toLatin1() + '=' + QByteArray::number(pacote.tamanho) + ' ' +
                 pacote.sha256.toHex() + kQuebra;
    }
    return texto;
}

const ManifestoLiberacao::Pacote* ManifestoLiberacao::Procurar(const QString& nome) const {
    const auto linha = pacotes_.find(nome);
    return linha == pacotes_.end() ? nullptr : &linha->second;
}

}  // namespace orvalis
