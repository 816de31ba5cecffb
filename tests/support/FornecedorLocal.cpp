#include "tests/support/FornecedorLocal.h"

#include "liberacao/PublicadorLiberacao.h"
#include "platform/PosixPlatform.h"
#include "tests/fixtures/EscritorRar4.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>

#include <stdexcept>

namespace orvalis::teste {

namespace {

const QString kPastaLiberacao = QStringLiteral("/update/Atualizacao/orvalis Empresa/");

}  // namespace

FornecedorLocal::PacoteSql FornecedorLocal::Pacote121() {
    return {QStringLiteral("orvEMP0121.sql"),
            "CREATE TABLE CAD_NOVIDADE (ID INTEGER NOT NULL PRIMARY KEY, DESCRICAO "
            "VARCHAR(60));;\r\n"
            "INSERT INTO CAD_NOVIDADE VALUES (1, 'Atualiza\xE7\xE3o 121');;\r\n"};
}

FornecedorLocal::PacoteSql FornecedorLocal::Pacote122() {
    return {QStringLiteral("orvEMP0122.sql"),
            "CREATE PROCEDURE SP_CONTAR_NOVIDADES RETURNS (TOTAL INTEGER) AS\r\n"
            "DECLARE VARIABLE N INTEGER;\r\n"
            "BEGIN\r\n"
            "  SELECT COUNT(*) FROM CAD_NOVIDADE INTO :N;\r\n"
            "  TOTAL = N;\r\n"
            "  SUSPEND;\r\n"
            "END;;\r\n"
            "INSERT INTO CAD_NOVIDADE VALUES (2, 'Atualiza\xE7\xE3o 122');;\r\n"};
}

FornecedorLocal::FornecedorLocal() = default;
FornecedorLocal::~FornecedorLocal() = default;

std::string FornecedorLocal::ConteudoExecutavel(const QString& nome, const QString& versao) {
    return (nome + QLatin1Char(' ') + versao).toStdString();
}

void FornecedorLocal::Publicar(const QString& nome, const std::string& conteudo) {
    const QString caminho = web_.PastaArquivos() + kPastaLiberacao + nome;
    QDir().mkpath(QFileInfo(caminho).path());
    QFile arquivo(caminho);
    if (!arquivo.open(QIODevice::WriteOnly) ||
        arquivo.write(conteudo.data(), static_cast<qint64>(conteudo.size())) !=
            static_cast<qint64>(conteudo.size())) {
        throw std::runtime_error("cannot publish " + nome.toStdString());
    }
}

QString FornecedorLocal::PastaLiberacao() const {
    return web_.PastaArquivos() + kPastaLiberacao.chopped(1);
}

const ChavePrivadaEd25519& FornecedorLocal::Chave() {
    if (!chave_) chave_ = ChavePrivadaEd25519::Gerar();
    return *chave_;
}

ManifestoLiberacao FornecedorLocal::Assinar(const QString& versao) {
    ManifestoLiberacao manifesto = AssinarPasta(PastaLiberacao(), Chave(), versao);
    assinada_ = true;
    return manifesto;
}

ManifestoLiberacao FornecedorLocal::AssinarPasta(const QString& pastaNativa,
                                                 const ChavePrivadaEd25519& chave,
                                                 const QString& versao) {
    // As orvalisPublicar does: the native folder in its Windows form, Z: being the root.
    PosixPlatform plataforma{QString()};
    return PublicadorLiberacao::Assinar(
        plataforma,
        plataforma.WindowsPath(QFile::encodeName(QDir::cleanPath(pastaNativa)).toStdString()),
        chave, versao);
}

void FornecedorLocal::PublicarLiberacao(const QString& versao,
                                        const std::vector<PacoteSql>& pacotesSql) {
    auto executavel = [&](const QString& nome) {
        return EntradaCompactada{nome.toStdString(), ConteudoExecutavel(nome, versao)};
    };
    auto pacote = [&](const QString& nome) {
        return EscritorRar4::Montar({executavel(nome + QStringLiteral(".exe"))});
    };
    Publicar(QStringLiteral("WinRAR.exe"),
             ConteudoExecutavel(QStringLiteral("WinRAR.exe"), versao));
    Publicar(QStringLiteral("orvalisAssistente.exe"),
             ConteudoExecutavel(QStringLiteral("orvalisAssistente.exe"), versao));
    Publicar(
        QStringLiteral("orvalisPacoteDll.rar"),
        EscritorRar4::Montar({{"dll/orvalisComum.dll", "orvalisComum.dll " + versao.toStdString()},
                              {"dll/midas.dll", "midas.dll " + versao.toStdString()}}));
    for (const QString& nome :
         {QStringLiteral("orvalisConectado"), QStringLiteral("orvalisMonitorPublicacao"),
          QStringLiteral("orvalisService"), QStringLiteral("orvalisEmpresa"),
          QStringLiteral("orvalisAssistente")}) {
        Publicar(nome + QStringLiteral(".rar"), pacote(nome));
    }
    std::vector<EntradaCompactada> sql;
    for (const PacoteSql& p : pacotesSql) sql.push_back({p.nome.toStdString(), p.conteudo});
    Publicar(QStringLiteral("sql.rar"), EscritorRar4::Montar(sql));
}

void FornecedorLocal::Iniciar(const QString& entradaLiberacao) {
    ServidoresLocais::ConfiarNaAutoridade();
    web_.IniciarWeb();
    web_.IniciarFtp(QJsonObject{{QStringLiteral("nomes"), QJsonArray{entradaLiberacao}}});
    const Endpoints fornecedor = web_.Fornecedor();
    const QJsonObject conta{{QStringLiteral("usuario"), fornecedor.emailConta},
                            {QStringLiteral("senha"), fornecedor.emailSenha},
                            {QStringLiteral("certificados"), ServidorCorreio::Certificados()}};
    smtp_ = std::make_unique<ServidorCorreio>(ServidorCorreio::Tipo::Smtp, conta);
    pop3_ = std::make_unique<ServidorCorreio>(ServidorCorreio::Tipo::Pop3, conta);
}

Endpoints FornecedorLocal::Fornecedor() const {
    Endpoints fornecedor = web_.Fornecedor();
    fornecedor.emailHost = QStringLiteral("mail.orvalis.test");
    if (smtp_) fornecedor.smtpPorta = smtp_->Porta();
    if (pop3_) fornecedor.pop3Porta = pop3_->Porta();
    if (assinada_) fornecedor.chavePublica = chave_->Publica().Texto();
    return fornecedor;
}

void FornecedorLocal::GravarIni(const QString& caminho) const {
    QFile arquivo(caminho);
    if (!arquivo.open(QIODevice::WriteOnly) ||
        arquivo.write(Fornecedor().TextoIni().toUtf8()) < 0) {
        throw std::runtime_error("cannot write " + caminho.toStdString());
    }
}

QList<QJsonObject> FornecedorLocal::Mensagens() const {
    QList<QJsonObject> mensagens;
    if (!smtp_) return mensagens;
    for (const QJsonObject& evento : smtp_->Registro()) {
        if (evento.value(QStringLiteral("evento")).toString() == QLatin1String("mensagem")) {
            mensagens << evento;
        }
    }
    return mensagens;
}

}  // namespace orvalis::teste
