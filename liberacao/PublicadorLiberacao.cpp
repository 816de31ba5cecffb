#include "liberacao/PublicadorLiberacao.h"

#include "app/Erros.h"
#include "liberacao/AssinaturaLiberacao.h"
#include "liberacao/ChavePrivadaEd25519.h"
#include "liberacao/ResumoSha256.h"
#include "platform/Platform.h"

#include <QStringList>

#include <algorithm>
#include <memory>
#include <vector>

namespace orvalis {

namespace {

const QString kSufixoTemporario = QStringLiteral(".novo");

QString Motivo(Platform& plataforma, uint32_t codigo) {
    const QString texto = plataforma.SystemErrorMessage(codigo);
    return texto.isEmpty() ? QStringLiteral("erro %1").arg(codigo) : texto;
}

bool ArquivoProprio(const QString& nome) {
    for (const QString& proprio :
         {ManifestoLiberacao::kArquivo, ManifestoLiberacao::kArquivoAssinatura}) {
        if (nome.compare(proprio, Qt::CaseInsensitive) == 0 ||
            nome.compare(proprio + kSufixoTemporario, Qt::CaseInsensitive) == 0) {
            return true;
        }
    }
    return false;
}

// The package names of the folder, sorted by their bytes.
QStringList ListarPacotes(Platform& plataforma, const QString& pasta) {
    if (!plataforma.DirectoryExists(pasta)) {
        throw ErroOrvalis(QStringLiteral("A pasta da liberação não existe."));
    }
    std::vector<DirEntry> entradas;
    if (!plataforma.ListDirectory(pasta + QStringLiteral("\\*"), &entradas)) {
        throw ErroOrvalis(QStringLiteral("Não foi possível listar a pasta da liberação: %1")
                              .arg(Motivo(plataforma, plataforma.LastError())));
    }
    QStringList nomes;
    for (const DirEntry& entrada : entradas) {
        if (entrada.directory || ArquivoProprio(entrada.name)) continue;
        if (!ManifestoLiberacao::NomeValido(entrada.name)) {
            throw ErroOrvalis(
                QStringLiteral("O nome do arquivo \"%1\" não pode ir para o manifesto da "
                               "liberação: use só caracteres ASCII visíveis e espaços, sem = "
                               "\\ / : * ? \" < > |.")
                    .arg(entrada.name));
        }
        nomes << entrada.name;
    }
    std::sort(nomes.begin(), nomes.end());
    // The updater's Windows sees one file where this folder holds two.
    for (qsizetype i = 0; i < nomes.size(); ++i) {
        for (qsizetype j = i + 1; j < nomes.size(); ++j) {
            if (nomes[i].compare(nomes[j], Qt::CaseInsensitive) == 0) {
                throw ErroOrvalis(
                    QStringLiteral("Os arquivos \"%1\" e \"%2\" diferem só em maiúsculas e "
                                   "minúsculas.")
                        .arg(nomes[i], nomes[j]));
            }
        }
    }
    if (nomes.isEmpty()) {
        throw ErroOrvalis(
            QStringLiteral("A pasta da liberação não tem nenhum arquivo para assinar."));
    }
    return nomes;
}

ManifestoLiberacao::Pacote LerPacote(Platform& plataforma, const QString& caminho,
                                     const QString& nome) {
    auto sumiu = [&] {
        return ErroOrvalis(
            QStringLiteral("O arquivo \"%1\" sumiu enquanto era lido; nada foi assinado.")
                .arg(nome));
    };
    auto ilegivel = [&](uint32_t codigo) {
        return ErroOrvalis(QStringLiteral("Não foi possível ler o arquivo \"%1\": %2")
                               .arg(nome, Motivo(plataforma, codigo)));
    };
    std::unique_ptr<SequentialFile> arquivo = plataforma.NewSequentialFile(caminho);
    if (arquivo == nullptr) {
        const uint32_t codigo = plataforma.LastError();
        if (codigo == winerror::kFileNotFound || codigo == winerror::kPathNotFound) throw sumiu();
        throw ilegivel(codigo);
    }
    ManifestoLiberacao::Pacote pacote;
    if (!ResumoSha256::DeArquivo(*arquivo, &pacote.sha256, &pacote.tamanho)) {
        throw ilegivel(plataforma.LastError());
    }
    arquivo.reset();
    // A file removed or replaced while it was read would be listed but not served.
    if (!plataforma.FileExists(caminho)) throw sumiu();
    return pacote;
}

void Gravar(Platform& plataforma, const QString& caminho, const QByteArray& conteudo) {
    std::unique_ptr<WritableFile> arquivo =
        plataforma.NewWritableFile(caminho, CreateMode::kCreateAlways);
    const bool gravado =
        arquivo != nullptr &&
        arquivo->Append(conteudo.constData(), static_cast<size_t>(conteudo.size())) &&
        arquivo->Sync() && arquivo->Close();
    if (!gravado) {
        const uint32_t codigo = plataforma.LastError();
        arquivo.reset();
        throw ErroOrvalis(QStringLiteral("Não foi possível gravar o arquivo \"%1\": %2")
                              .arg(caminho, Motivo(plataforma, codigo)));
    }
}

}  // namespace

void PublicadorLiberacao::ConferirVersao(const QString& versao) {
    if (!ManifestoLiberacao::VersaoValida(versao)) {
        throw ErroOrvalis(
            QStringLiteral("A versão \"%1\" não pode ir para o manifesto da liberação: use de 1 "
                           "a %2 caracteres ASCII visíveis (espaços só entre eles), sem = [ ] ; "
                           "\".")
                .arg(versao, QString::number(ManifestoLiberacao::kMaximoVersao)));
    }
}

ManifestoLiberacao PublicadorLiberacao::Assinar(Platform& plataforma, const QString& pasta,
                                                const ChavePrivadaEd25519& chave,
                                                const QString& versao) {
    ConferirVersao(versao);
    std::map<QString, ManifestoLiberacao::Pacote> pacotes;
    for (const QString& nome : ListarPacotes(plataforma, pasta)) {
        pacotes.emplace(nome, LerPacote(plataforma, pasta + QLatin1Char('\\') + nome, nome));
    }
    ManifestoLiberacao manifesto(versao, std::move(pacotes));
    const QByteArray texto = manifesto.Texto();
    const QByteArray assinatura = AssinaturaLiberacao::Texto(chave.Assinar(texto));

    const QString arquivoManifesto = pasta + QLatin1Char('\\') + ManifestoLiberacao::kArquivo;
    const QString arquivoAssinatura =
        pasta + QLatin1Char('\\') + ManifestoLiberacao::kArquivoAssinatura;
    const QString manifestoNovo = arquivoManifesto + kSufixoTemporario;
    const QString assinaturaNova = arquivoAssinatura + kSufixoTemporario;
    try {
        Gravar(plataforma, manifestoNovo, texto);
        Gravar(plataforma, assinaturaNova, assinatura);
        for (const auto& [novo, destino] : {std::pair(assinaturaNova, arquivoAssinatura),
                                            std::pair(manifestoNovo, arquivoManifesto)}) {
            if (!plataforma.ReplaceFile(novo, destino)) {
                throw ErroOrvalis(QStringLiteral("Não foi possível gravar o arquivo \"%1\": %2")
                                      .arg(destino, Motivo(plataforma, plataforma.LastError())));
            }
        }
    } catch (...) {
        plataforma.DeleteFile(manifestoNovo);
        plataforma.DeleteFile(assinaturaNova);
        throw;
    }
    return manifesto;
}

}  // namespace orvalis
