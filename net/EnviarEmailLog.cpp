#include "net/EnviarEmailLog.h"

#include "app/Erros.h"
#include "app/UnPrincipal.h"
#include "net/ClientePop3.h"
#include "net/ClienteSmtp.h"
#include "net/CorpoEmail.h"
#include "net/Endpoints.h"
#include "net/MensagemEmail.h"
#include "platform/Platform.h"

#include <chrono>

namespace orvalis {

namespace {

// A mail host that stops answering must not hold the window, and the database under
// its held name, for ever.
constexpr std::chrono::seconds kLimiteConexao{30};
constexpr std::chrono::seconds kLimiteInatividade{60};

// Ends both connections however the sending ends, SMTP first.
class EncerrarConexoes {
  public:
    EncerrarConexoes(ClienteSmtp& smtp, ClientePop3& pop3) : smtp_(smtp), pop3_(pop3) {}
    ~EncerrarConexoes() {
        smtp_.Desconectar();
        pop3_.Desconectar();
    }
    EncerrarConexoes(const EncerrarConexoes&) = delete;
    EncerrarConexoes& operator=(const EncerrarConexoes&) = delete;

  private:
    ClienteSmtp& smtp_;
    ClientePop3& pop3_;
};

}  // namespace

void EnviarEmailLog(TfrmPrincipal& janela, const Endpoints& fornecedor) {
    janela.AdicionarLog(QStringLiteral("   - Enviando e-mail com o log de atualização."));
    janela.AdicionarLog(QStringLiteral("   - Destino 1: ") + janela.EmailCliente);
    janela.AdicionarLog(QStringLiteral("   - Destino 2: ") + fornecedor.emailSuporte);
    janela.AdicionarLog(QStringLiteral("   - Aguarde... Isso pode levar alguns minutos."));

    ClienteSmtp& smtp = *janela.IdSMTP1;
    ClientePop3& pop3 = *janela.IdPOP31;
    MensagemEmail& mensagem = *janela.IdMessage1;
    const EncerrarConexoes encerrar(smtp, pop3);

    smtp.host = fornecedor.emailHost;
    smtp.porta = fornecedor.smtpPorta;
    smtp.tls = janela.IdSSLIOHandlerSocketOpenSSL1.get();
    smtp.usuario = fornecedor.emailConta;
    smtp.senha = fornecedor.emailSenha;
    smtp.nomeCliente = janela.plataforma().HostName();
    smtp.limiteConexao = kLimiteConexao;
    smtp.limiteInatividade = kLimiteInatividade;
    // The caller learns of this failure, and of no other.
    smtp.Conectar();

    pop3.host = fornecedor.emailHost;
    pop3.senha = fornecedor.emailSenha;
    pop3.usuario = fornecedor.emailConta;
    pop3.porta = fornecedor.pop3Porta;
    pop3.limiteConexao = kLimiteConexao;
    pop3.limiteInatividade = kLimiteInatividade;
    try {
        pop3.Conectar();
    } catch (const ErroOrvalis& erro) {
        janela.plataforma().MessageBox(erro.mensagem(), QStringLiteral("Aviso do Sistema"),
                                       MessageIcon::None);
        return;
    }

    mensagem.Limpar();
    mensagem.remetente = {fornecedor.emailConta, fornecedor.emailConta};
    mensagem.destinatarios = MensagemEmail::LerListaEnderecos(
        fornecedor.emailSuporte + QLatin1Char(';') + janela.EmailCliente);
    mensagem.assunto = janela.AssuntoEmail;
    mensagem.data = janela.plataforma().Now();
    janela.CorpoEmail += BlocosAnexados(janela.LinhasLog(), janela.itErroAtualizacao);
    mensagem.corpo = LinhasCorpo(janela.CorpoEmail);

    try {
        if (smtp.OfereceAuthLogin()) smtp.AutenticarLogin();
        smtp.Enviar(mensagem);
        janela.AdicionarLog(QStringLiteral("   - OK"));
        pop3.Desconectar();
    } catch (const ErroOrvalis&) {
        // A report that could not be sent changes nothing in the run it reports on.
    }
}

void TfrmPrincipal::EnviarEmailLog() {
    orvalis::EnviarEmailLog(*this, Endpoints::Atuais());
}

}  // namespace orvalis
