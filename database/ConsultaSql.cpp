#include "database/ConsultaSql.h"

#include "app/Erros.h"
#include "database/StatusFirebird.h"
#include "database/TransacaoBanco.h"
#include "platform/Ansi.h"

#include <firebird/Interface.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace orvalis {

namespace {

constexpr unsigned kDialeto = 3;
// Room for any number, date or time written as text.
constexpr unsigned kTamanhoTextoValor = 64;

bool RetornaLinhas(unsigned tipo) {
    return tipo == isc_info_sql_stmt_select || tipo == isc_info_sql_stmt_select_for_upd;
}

}  // namespace

ConsultaSql::ConsultaSql(ConexaoBanco& conexao, TransacaoBanco& transacao)
    : conexao_(conexao), transacao_(transacao) {
    conexao_.Registrar(this);
}

ConsultaSql::~ConsultaSql() {
    LiberarRecursos();
    conexao_.Remover(this);
}

void ConsultaSql::LiberarRecursos() noexcept {
    if (cursor_ != nullptr) cursor_->release();
    if (instrucao_ != nullptr) instrucao_->release();
    if (saida_ != nullptr) saida_->release();
    cursor_ = nullptr;
    instrucao_ = nullptr;
    saida_ = nullptr;
    colunas_.clear();
    linha_.clear();
    aberta_ = false;
    temLinha_ = false;
}

void ConsultaSql::Fechar() {
    const bool estavaAberta = aberta_;
    LiberarRecursos();
    if (estavaAberta) transacao_.AoFecharConsulta(this);
}

void ConsultaSql::Executar(const QString& texto) {
    Fechar();
    DefinirTexto(texto);
    Abrir();
}

void ConsultaSql::Preparar(Firebird::ITransaction* transacao) {
    const QByteArray texto = ToAnsi(texto_);
    StatusFirebird status;
    instrucao_ = conexao_.Anexo()->prepare(
        status.get(), transacao, static_cast<unsigned>(texto.size()), texto.constData(), kDialeto,
        Firebird::IStatement::PREPARE_PREFETCH_TYPE |
            Firebird::IStatement::PREPARE_PREFETCH_OUTPUT_PARAMETERS);
    status.Verificar();
}

void ConsultaSql::Abrir() {
    Fechar();
    conexao_.Anexo();
    Firebird::ITransaction* transacao = transacao_.Garantir(this);
    try {
        Preparar(transacao);
        StatusFirebird status;
        const unsigned tipo = instrucao_->getType(status.get());
        status.Verificar();
        if (!RetornaLinhas(tipo)) {
            instrucao_->execute(status.get(), transacao, nullptr, nullptr, nullptr, nullptr);
            status.Verificar();
            LiberarRecursos();
            return;
        }
        DescreverColunas();
        cursor_ = instrucao_->openCursor(status.get(), transacao, nullptr, nullptr, saida_, 0);
        status.Verificar();
        linha_.assign(saida_->getMessageLength(status.get()), 0);
        status.Verificar();
        temLinha_ = cursor_->fetchNext(status.get(), linha_.data()) == Firebird::IStatus::RESULT_OK;
        status.Verificar();
        aberta_ = true;
    } catch (const ErroOrvalis&) {
        LiberarRecursos();
        throw;
    }
}

void ConsultaSql::ExecSQL() {
    Abrir();
    Fechar();
}

void ConsultaSql::DescreverColunas() {
    StatusFirebird status;
    Firebird::IMessageMetadata* original = instrucao_->getOutputMetadata(status.get());
    status.Verificar();
    const unsigned quantidade = original->getCount(status.get());
    Firebird::IMetadataBuilder* construtor = original->getBuilder(status.get());
    if (status.Falhou()) original->release();
    status.Verificar();
    // Every column but a blob is asked for as text: the server converts numbers, dates
    // and CHAR columns alike, and the reading side needs only one layout.
    for (unsigned i = 0; i < quantidade; ++i) {
        const unsigned tipo = original->getType(status.get(), i);
        if (tipo == SQL_BLOB) continue;
        if (tipo != SQL_TEXT && tipo != SQL_VARYING) {
            construtor->setType(status.get(), i, SQL_VARYING);
            construtor->setCharSet(status.get(), i, 0);
            construtor->setLength(status.get(), i, kTamanhoTextoValor);
            construtor->setScale(status.get(), i, 0);
            construtor->setSubType(status.get(), i, 0);
        } else {
            construtor->setType(status.get(), i, SQL_VARYING);
        }
    }
    if (!status.Falhou()) saida_ = construtor->getMetadata(status.get());
    construtor->release();
    original->release();
    status.Verificar();
    colunas_.clear();
    for (unsigned i = 0; i < quantidade; ++i) {
        Coluna coluna;
        coluna.nome = FromAnsi(QByteArray(saida_->getAlias(status.get(), i))).toUpper();
        coluna.deslocamento = saida_->getOffset(status.get(), i);
        coluna.deslocamentoNulo = saida_->getNullOffset(status.get(), i);
        coluna.blob = saida_->getType(status.get(), i) == SQL_BLOB;
        colunas_.push_back(coluna);
    }
    status.Verificar();
}

const ConsultaSql::Coluna& ConsultaSql::ColunaDe(const QString& nome) const {
    if (!aberta_) throw ErroOrvalis(QStringLiteral("A consulta não está aberta."));
    const QString procurado = nome.toUpper();
    for (const Coluna& coluna : colunas_) {
        if (coluna.nome == procurado) return coluna;
    }
    throw ErroOrvalis(QStringLiteral("Campo '%1' não encontrado.").arg(nome));
}

QString ConsultaSql::ComoTexto(const QString& nome) {
    const Coluna& coluna = ColunaDe(nome);
    if (!temLinha_) return QString();
    int16_t nulo = 0;
    std::memcpy(&nulo, linha_.data() + coluna.deslocamentoNulo, sizeof nulo);
    if (nulo != 0) return QString();
    if (coluna.blob) return FromAnsi(LerBlob(coluna));
    uint16_t tamanho = 0;
    std::memcpy(&tamanho, linha_.data() + coluna.deslocamento, sizeof tamanho);
    const char* dados = reinterpret_cast<const char*>(linha_.data() + coluna.deslocamento + 2);
    return FromAnsi(QByteArray(dados, tamanho));
}

int32_t ConsultaSql::ComoInteiro(const QString& nome) {
    const QString texto = ComoTexto(nome).trimmed();
    if (texto.isEmpty()) return 0;
    bool ok = false;
    const qlonglong inteiro = texto.toLongLong(&ok);
    if (ok && inteiro >= std::numeric_limits<int32_t>::min() &&
        inteiro <= std::numeric_limits<int32_t>::max()) {
        return static_cast<int32_t>(inteiro);
    }
    // A NUMERIC with a scale reads rounded, as an integer field of it would.
    const double real = texto.toDouble(&ok);
    if (ok && std::fabs(real) <= std::numeric_limits<int32_t>::max()) {
        return static_cast<int32_t>(std::lround(real));
    }
    throw ErroOrvalis(QStringLiteral("'%1' não é um valor inteiro válido.").arg(texto));
}

QByteArray ConsultaSql::LerBlob(const Coluna& coluna) {
    ISC_QUAD id;
    std::memcpy(&id, linha_.data() + coluna.deslocamento, sizeof id);
    StatusFirebird status;
    Firebird::IBlob* blob =
        conexao_.Anexo()->openBlob(status.get(), transacao_.Garantir(this), &id, 0, nullptr);
    status.Verificar();
    QByteArray conteudo;
    char parte[8192];
    for (;;) {
        unsigned lidos = 0;
        const int resultado = blob->getSegment(status.get(), sizeof parte, parte, &lidos);
        if (resultado != Firebird::IStatus::RESULT_OK &&
            resultado != Firebird::IStatus::RESULT_SEGMENT) {
            break;
        }
        conteudo.append(parte, lidos);
    }
    const bool falhou = status.Falhou();
    StatusFirebird fechamento;
    blob->close(fechamento.get());  // releases the object on success
    if (fechamento.Falhou()) blob->release();
    if (falhou) status.Verificar();
    return conteudo;
}

}  // namespace orvalis
