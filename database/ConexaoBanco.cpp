#include "database/ConexaoBanco.h"

#include "app/Erros.h"
#include "database/CaminhoBanco.h"
#include "database/StatusFirebird.h"
#include "database/TransacaoBanco.h"
#include "platform/Ansi.h"
#include "platform/Platform.h"

#include <firebird/Interface.h>

#include <algorithm>
#include <exception>
#include <string>

namespace orvalis {

namespace {

constexpr const char* kUsuario = "SYSDBA";
constexpr const char* kSenha = "rivertown";
constexpr int kDialeto = 3;

// The parameter block of the attach: user, password and dialect only; no character set,
// no role, nothing that could prompt.
class BlocoParametros {
  public:
    BlocoParametros() {
        StatusFirebird status;
        bloco_ = StatusFirebird::Mestre()->getUtilInterface()->getXpbBuilder(
            status.get(), Firebird::IXpbBuilder::DPB, nullptr, 0);
        status.Verificar();
        bloco_->insertString(status.get(), isc_dpb_user_name, kUsuario);
        bloco_->insertString(status.get(), isc_dpb_password, kSenha);
        bloco_->insertInt(status.get(), isc_dpb_sql_dialect, kDialeto);
        status.Verificar();
    }
    ~BlocoParametros() {
        if (bloco_ != nullptr) bloco_->dispose();
    }
    BlocoParametros(const BlocoParametros&) = delete;
    BlocoParametros& operator=(const BlocoParametros&) = delete;

    unsigned Tamanho() {
        StatusFirebird status;
        const unsigned tamanho = bloco_->getBufferLength(status.get());
        status.Verificar();
        return tamanho;
    }
    const unsigned char* Dados() {
        StatusFirebird status;
        const unsigned char* dados = bloco_->getBuffer(status.get());
        status.Verificar();
        return dados;
    }

  private:
    Firebird::IXpbBuilder* bloco_ = nullptr;
};

}  // namespace

ConexaoBanco::ConexaoBanco(Platform& plataforma) : plataforma_(plataforma) {}

ConexaoBanco::~ConexaoBanco() {
    try {
        Desconectar();
    } catch (const ErroOrvalis&) {
        // Nobody to report to; Desconectar() has let the attachment go all the same.
    }
}

void ConexaoBanco::DefinirBanco(const QString& banco) {
    if (Conectado()) {
        throw ErroOrvalis(
            QStringLiteral("Não é possível alterar o banco de dados de uma "
                           "conexão aberta."));
    }
    banco_ = banco;
}

QString ConexaoBanco::TextoConexao(const QString& banco) const {
    QString servidor;
    QString caminho;
    SepararServidor(banco, &servidor, &caminho);
    std::string nativo;
    if (!plataforma_.NativePath(caminho, &nativo)) {
        throw ErroOrvalis(QStringLiteral("Caminho do banco de dados inválido: ") + banco + " (" +
                          plataforma_.SystemErrorMessage(plataforma_.LastError()) + ")");
    }
    return servidor + FromUtf8(nativo);
}

void ConexaoBanco::Conectar() {
    if (Conectado()) return;
    // The engine takes file names in the machine's own encoding, UTF-8.
    const std::string texto = ToUtf8(TextoConexao(banco_));
    BlocoParametros parametros;
    StatusFirebird status;
    Firebird::IAttachment* anexo = StatusFirebird::Mestre()->getDispatcher()->attachDatabase(
        status.get(), texto.c_str(), parametros.Tamanho(), parametros.Dados());
    status.Verificar();
    anexo_ = anexo;
}

void ConexaoBanco::Desconectar() {
    if (!Conectado()) return;
    for (Dependente* dependente : dependentes_) dependente->LiberarRecursos();
    std::exception_ptr erro;
    if (transacao_ != nullptr) {
        try {
            transacao_->Commit();
        } catch (const ErroOrvalis&) {
            erro = std::current_exception();
        }
    }
    Firebird::IAttachment* anexo = anexo_;
    anexo_ = nullptr;
    StatusFirebird status;
    anexo->detach(status.get());  // releases the object on success
    if (status.Falhou()) {
        anexo->release();
        if (!erro) status.Verificar();
    }
    if (erro) std::rethrow_exception(erro);
}

void ConexaoBanco::Descartar() noexcept {
    if (!Conectado()) return;
    for (Dependente* dependente : dependentes_) dependente->LiberarRecursos();
    if (transacao_ != nullptr) transacao_->Rollback();
    Firebird::IAttachment* anexo = anexo_;
    anexo_ = nullptr;
    StatusFirebird status;
    anexo->detach(status.get());  // releases the object on success
    if (status.Falhou()) anexo->release();
}

Firebird::IAttachment* ConexaoBanco::Anexo() const {
    if (!Conectado()) throw ErroOrvalis(QStringLiteral("O banco de dados não está conectado."));
    return anexo_;
}

void ConexaoBanco::Registrar(Dependente* dependente) {
    dependentes_.push_back(dependente);
}

void ConexaoBanco::Remover(Dependente* dependente) {
    dependentes_.erase(std::remove(dependentes_.begin(), dependentes_.end(), dependente),
                       dependentes_.end());
}

}  // namespace orvalis
