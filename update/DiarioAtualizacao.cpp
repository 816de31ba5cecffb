#include "update/DiarioAtualizacao.h"

#include "app/UnFuncaoOrvalis.h"
#include "database/CaminhoBanco.h"
#include "platform/Platform.h"

#include <QMap>

#include <array>
#include <memory>
#include <utility>

namespace orvalis {

namespace {

const QString kNomeArquivo = QStringLiteral("AtualizacaoEmAndamento.ini");
const QString kSecao = QStringLiteral("atualizacao");
const QString kSecaoExecutaveis = QStringLiteral("executaveis");

const std::array<std::pair<DiarioAtualizacao::Etapa, const char*>, 6> kEtapas = {{
    {DiarioAtualizacao::Etapa::kRetencao, "retencao"},
    {DiarioAtualizacao::Etapa::kBackupBanco, "backup"},
    {DiarioAtualizacao::Etapa::kFase5, "fase5"},
    {DiarioAtualizacao::Etapa::kFase6, "fase6"},
    {DiarioAtualizacao::Etapa::kVersaoGravada, "versao"},
    {DiarioAtualizacao::Etapa::kBancoRestaurado, "restaurado"},
}};

QString NomeEtapa(DiarioAtualizacao::Etapa etapa) {
    for (const auto& [valor, nome] : kEtapas) {
        if (valor == etapa) return QString::fromLatin1(nome);
    }
    return QString();
}

bool EtapaDoNome(const QString& nome, DiarioAtualizacao::Etapa* etapa) {
    for (const auto& [valor, texto] : kEtapas) {
        if (nome == QLatin1String(texto)) {
            *etapa = valor;
            return true;
        }
    }
    return false;
}

}  // namespace

QString DiarioAtualizacao::BackupBanco() const {
    return pastaBackup + QLatin1Char('\\') + kNomeArquivoRetido;
}

QString DiarioAtualizacao::Caminho(Platform& plataforma) {
    return PastaAtualizador(plataforma) + QLatin1Char('\\') + kNomeArquivo;
}

QByteArray DiarioAtualizacao::Texto() const {
    QString texto;
    const auto linha = [&texto](const QString& chave, const QString& valor) {
        texto += chave + QLatin1Char('=') + valor + QStringLiteral("\r\n");
    };
    texto += QLatin1Char('[') + kSecao + QStringLiteral("]\r\n");
    linha(QStringLiteral("etapa"), NomeEtapa(etapa));
    linha(QStringLiteral("inicio"), inicio.toString(Qt::ISODate));
    linha(QStringLiteral("banco"), bancoVivo);
    linha(QStringLiteral("retido"), bancoRetido);
    linha(QStringLiteral("backup"), pastaBackup);
    linha(QStringLiteral("tamanho_backup"), QString::number(tamanhoBackup));
    linha(QStringLiteral("pastamestre"), pastaMestre);
    linha(QStringLiteral("fase6"), fase6Iniciada ? QStringLiteral("1") : QStringLiteral("0"));
    texto += QStringLiteral("\r\n[") + kSecaoExecutaveis + QStringLiteral("]\r\n");
    for (qsizetype i = 0; i < executaveis.size(); ++i) {
        linha(QString::number(i + 1), executaveis[i]);
    }
    return texto.toUtf8();
}

bool DiarioAtualizacao::Interpretar(const QByteArray& texto, DiarioAtualizacao* diario) {
    QMap<QString, QString> valores;
    QMap<int, QString> executaveis;
    QString secao;
    for (QString linha : QString::fromUtf8(texto).split(QLatin1Char('\n'))) {
        if (linha.endsWith(QLatin1Char('\r'))) linha.chop(1);
        if (linha.isEmpty()) continue;
        if (linha.startsWith(QLatin1Char('[')) && linha.endsWith(QLatin1Char(']'))) {
            secao = linha.mid(1, linha.size() - 2);
            continue;
        }
        const qsizetype igual = linha.indexOf(QLatin1Char('='));
        if (igual <= 0) return false;
        const QString chave = linha.left(igual);
        const QString valor = linha.mid(igual + 1);
        if (secao == kSecao) {
            valores.insert(chave, valor);
        } else if (secao == kSecaoExecutaveis) {
            bool numero = false;
            const int ordem = chave.toInt(&numero);
            if (!numero || valor.isEmpty()) return false;
            executaveis.insert(ordem, valor);
        }
    }
    DiarioAtualizacao lido;
    bool tamanhoValido = false;
    lido.tamanhoBackup = valores.value(QStringLiteral("tamanho_backup")).toLongLong(&tamanhoValido);
    lido.inicio = QDateTime::fromString(valores.value(QStringLiteral("inicio")), Qt::ISODate);
    lido.bancoVivo = valores.value(QStringLiteral("banco"));
    lido.bancoRetido = valores.value(QStringLiteral("retido"));
    lido.pastaBackup = valores.value(QStringLiteral("backup"));
    lido.pastaMestre = valores.value(QStringLiteral("pastamestre"));
    lido.executaveis = executaveis.values();
    lido.fase6Iniciada = valores.value(QStringLiteral("fase6")) == QLatin1String("1");
    if (!EtapaDoNome(valores.value(QStringLiteral("etapa")), &lido.etapa) || !tamanhoValido ||
        !lido.inicio.isValid() || lido.bancoVivo.isEmpty() || lido.bancoRetido.isEmpty() ||
        lido.pastaBackup.isEmpty() || lido.pastaMestre.isEmpty()) {
        return false;
    }
    // From phase 5 on, the database comes back from the backup, whose size says that
    // the copy found there is the one phase 4 made.
    if (lido.etapa >= Etapa::kFase5 && lido.tamanhoBackup < 0) return false;
    *diario = std::move(lido);
    return true;
}

bool DiarioAtualizacao::Gravar(Platform& plataforma) const {
    const QString caminho = Caminho(plataforma);
    const QString temporario = caminho + QStringLiteral(".gravando");
    const QByteArray texto = Texto();
    std::unique_ptr<WritableFile> arquivo =
        plataforma.NewWritableFile(temporario, CreateMode::kCreateAlways);
    if (arquivo == nullptr) return false;
    const bool gravou = arquivo->Append(texto.constData(), static_cast<size_t>(texto.size())) &&
                        arquivo->Sync() && arquivo->Close();
    arquivo.reset();
    if (!gravou) {
        const uint32_t erro = plataforma.LastError();
        plataforma.DeleteFile(temporario);
        plataforma.SetLastError(erro);
        return false;
    }
    return plataforma.ReplaceFile(temporario, caminho, /*writeThrough=*/true);
}

DiarioAtualizacao::Leitura DiarioAtualizacao::Ler(Platform& plataforma, DiarioAtualizacao* diario) {
    const QString caminho = Caminho(plataforma);
    if (!plataforma.FileExists(caminho)) return Leitura::kAusente;
    QByteArray texto;
    if (!plataforma.ReadFile(caminho, &texto)) return Leitura::kInvalido;
    return Interpretar(texto, diario) ? Leitura::kLido : Leitura::kInvalido;
}

QString DiarioAtualizacao::CaminhoReserva(Platform& plataforma) {
    return PastaAtualizador(plataforma) + QStringLiteral("\\AtualizacaoEmAndamento.lock");
}

std::unique_ptr<ExclusiveFile> DiarioAtualizacao::Reservar(Platform& plataforma) {
    return plataforma.OpenExclusive(CaminhoReserva(plataforma));
}

bool DiarioAtualizacao::Existe(Platform& plataforma) {
    return plataforma.FileExists(Caminho(plataforma));
}

bool DiarioAtualizacao::Apagar(Platform& plataforma) {
    const QString caminho = Caminho(plataforma);
    return plataforma.DeleteFile(caminho) || !plataforma.FileExists(caminho);
}

}  // namespace orvalis
