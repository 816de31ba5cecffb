#include "tests/support/BancoTeste.h"

#include "database/StatusFirebird.h"
#include "platform/Ansi.h"

#include <QTemporaryDir>

#include <firebird/Interface.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <stdexcept>

namespace orvalis::teste {

namespace {

// The ERP's objects as phase 1 reads them, in a database of the character set the ERP
// uses. Statements end with ";" at the end of a line.
constexpr const char* kEsquema = R"(
CREATE TABLE TAB_PARAMETRO (
    ID_PARAMETRO INTEGER NOT NULL PRIMARY KEY,
    SCRIPT_RODADO INTEGER,
    VERSAO_ERP VARCHAR(20),
    NM_EMPRESA VARCHAR(60),
    NO_CNPJCPF VARCHAR(18),
    DS_E_MAIL VARCHAR(100),
    NM_CONTATO VARCHAR(60),
    NO_FONE VARCHAR(20),
    ATIVO_COMERCIO CHAR(1),
    ATIVO_SERVICOS CHAR(1),
    ATIVO_ESTOQUE CHAR(1),
    ATIVO_MONTAGEM CHAR(1),
    ATIVO_FINANCEIRO CHAR(1),
    ATIVO_CONTAS_CORRENTES CHAR(1),
    ATIVO_PRE_DATADO CHAR(1));
CREATE TABLE SIS_USUARIO (
    ID_USUARIO INTEGER NOT NULL PRIMARY KEY,
    NM_USUARIO VARCHAR(60));
CREATE TABLE MOV_LOG_ATUALIZACAO (
    NO_LOG_ATUALIZACAO INTEGER NOT NULL);
INSERT INTO TAB_PARAMETRO VALUES (1, 120, '2.7', 'Padaria São João Ltda', '12.345.678/0001-90',
    'contato@padaria.example', 'Conceição Araújo', '(11) 5555-0101',
    'S', 'N', 'S', 's', 'S', NULL, 'S');
INSERT INTO SIS_USUARIO VALUES (1, 'ADMINISTRADOR');
INSERT INTO SIS_USUARIO VALUES (7, 'José Antônio');
INSERT INTO MOV_LOG_ATUALIZACAO VALUES (57);
INSERT INTO MOV_LOG_ATUALIZACAO VALUES (58);
)";

QStringList Instrucoes(BancoTeste::Variante variante) {
    QStringList instrucoes;
    for (QString instrucao : QString::fromUtf8(kEsquema).split(QStringLiteral(";\n"))) {
        instrucao = instrucao.trimmed();
        if (instrucao.isEmpty()) continue;
        if (variante == BancoTeste::Variante::kSemLinhas &&
            instrucao.startsWith(QStringLiteral("INSERT INTO TAB_PARAMETRO"))) {
            continue;
        }
        instrucoes << instrucao;
    }
    if (variante == BancoTeste::Variante::kSemScriptRodado) {
        instrucoes << QStringLiteral("ALTER TABLE TAB_PARAMETRO DROP SCRIPT_RODADO");
    }
    return instrucoes;
}

Firebird::IXpbBuilder* NovoBloco(StatusFirebird& status, bool criacao) {
    Firebird::IXpbBuilder* bloco = StatusFirebird::Mestre()->getUtilInterface()->getXpbBuilder(
        status.get(), Firebird::IXpbBuilder::DPB, nullptr, 0);
    status.Verificar();
    bloco->insertString(status.get(), isc_dpb_user_name, "SYSDBA");
    if (criacao) {
        bloco->insertInt(status.get(), isc_dpb_set_db_sql_dialect, 3);
        bloco->insertString(status.get(), isc_dpb_set_db_charset, "WIN1252");
        // The tests commit after every statement; they need no synchronous writes.
        bloco->insertInt(status.get(), isc_dpb_force_write, 0);
    }
    status.Verificar();
    return bloco;
}

Firebird::IAttachment* Anexar(const std::string& arquivo, bool criacao) {
    StatusFirebird status;
    Firebird::IXpbBuilder* bloco = NovoBloco(status, criacao);
    Firebird::IProvider* provedor = StatusFirebird::Mestre()->getDispatcher();
    const unsigned tamanho = bloco->getBufferLength(status.get());
    const unsigned char* dados = bloco->getBuffer(status.get());
    Firebird::IAttachment* anexo =
        criacao ? provedor->createDatabase(status.get(), arquivo.c_str(), tamanho, dados)
                : provedor->attachDatabase(status.get(), arquivo.c_str(), tamanho, dados);
    bloco->dispose();
    provedor->release();
    status.Verificar();
    return anexo;
}

void ExecutarEm(Firebird::IAttachment* anexo, const QString& sql) {
    StatusFirebird status;
    Firebird::ITransaction* transacao = anexo->startTransaction(status.get(), 0, nullptr);
    status.Verificar();
    const QByteArray texto = ToAnsi(sql);
    anexo->execute(status.get(), transacao, static_cast<unsigned>(texto.size()), texto.constData(),
                   3, nullptr, nullptr, nullptr, nullptr);
    if (status.Falhou()) {
        StatusFirebird desfazer;
        transacao->rollback(desfazer.get());
        status.Verificar();
    }
    transacao->commit(status.get());
    status.Verificar();
}

std::string Modelo(BancoTeste::Variante variante) {
    static QTemporaryDir pasta;
    static std::map<BancoTeste::Variante, std::string> modelos;
    auto existente = modelos.find(variante);
    if (existente != modelos.end()) return existente->second;
    if (!pasta.isValid()) throw std::runtime_error("no folder for the database templates");
    const std::string arquivo =
        pasta.filePath(QStringLiteral("modelo%1.fdb").arg(static_cast<int>(variante)))
            .toStdString();
    Firebird::IAttachment* anexo = Anexar(arquivo, true);
    for (const QString& instrucao : Instrucoes(variante)) ExecutarEm(anexo, instrucao);
    StatusFirebird status;
    anexo->detach(status.get());
    status.Verificar();
    modelos[variante] = arquivo;
    return arquivo;
}

}  // namespace

void BancoTeste::Criar(const std::string& arquivo, Variante variante) {
    std::filesystem::copy_file(Modelo(variante), arquivo,
                               std::filesystem::copy_options::overwrite_existing);
}

BancoTeste::BancoTeste(const std::string& arquivo) : anexo_(Anexar(arquivo, false)) {}

BancoTeste::~BancoTeste() {
    StatusFirebird status;
    anexo_->detach(status.get());
    if (status.Falhou()) anexo_->release();
}

void BancoTeste::Executar(const QString& sql) {
    ExecutarEm(anexo_, sql);
}

std::vector<QStringList> BancoTeste::Linhas(const QString& sql) {
    constexpr unsigned kTamanho = 1024;
    StatusFirebird status;
    Firebird::ITransaction* transacao = anexo_->startTransaction(status.get(), 0, nullptr);
    status.Verificar();
    const QByteArray texto = ToAnsi(sql);
    Firebird::IStatement* instrucao =
        anexo_->prepare(status.get(), transacao, static_cast<unsigned>(texto.size()),
                        texto.constData(), 3, Firebird::IStatement::PREPARE_PREFETCH_METADATA);
    status.Verificar();
    Firebird::IMessageMetadata* original = instrucao->getOutputMetadata(status.get());
    const unsigned colunas = original->getCount(status.get());
    Firebird::IMetadataBuilder* construtor = original->getBuilder(status.get());
    for (unsigned i = 0; i < colunas; ++i) {
        construtor->setType(status.get(), i, SQL_VARYING);
        construtor->setCharSet(status.get(), i, 0);
        construtor->setLength(status.get(), i, kTamanho);
        construtor->setScale(status.get(), i, 0);
    }
    Firebird::IMessageMetadata* saida = construtor->getMetadata(status.get());
    status.Verificar();
    construtor->release();
    original->release();
    std::vector<unsigned char> linha(saida->getMessageLength(status.get()));
    Firebird::IResultSet* cursor =
        instrucao->openCursor(status.get(), transacao, nullptr, nullptr, saida, 0);
    status.Verificar();
    std::vector<QStringList> linhas;
    while (cursor->fetchNext(status.get(), linha.data()) == Firebird::IStatus::RESULT_OK) {
        QStringList valores;
        for (unsigned i = 0; i < colunas; ++i) {
            int16_t nulo = 0;
            std::memcpy(&nulo, linha.data() + saida->getNullOffset(status.get(), i), 2);
            uint16_t tamanho = 0;
            const unsigned deslocamento = saida->getOffset(status.get(), i);
            std::memcpy(&tamanho, linha.data() + deslocamento, 2);
            valores << (nulo ? QString()
                             : FromAnsi(QByteArray(
                                   reinterpret_cast<const char*>(linha.data() + deslocamento + 2),
                                   tamanho)));
        }
        linhas.push_back(valores);
    }
    const bool falhou = status.Falhou();
    cursor->release();
    saida->release();
    instrucao->release();
    StatusFirebird fim;
    transacao->commit(fim.get());
    if (falhou) status.Verificar();
    fim.Verificar();
    return linhas;
}

QString BancoTeste::Valor(const QString& sql) {
    const std::vector<QStringList> linhas = Linhas(sql);
    return linhas.empty() || linhas.front().isEmpty() ? QString() : linhas.front().front();
}

}  // namespace orvalis::teste
