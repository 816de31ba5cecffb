// A server update, or a recovery, that ends abruptly at a chosen step: the updater's
// window over the crashing platform, run as the ERP (or the technician) starts it but
// without its waits.
//
//     orvalis_atualizacao_interrompida PASSO ARQUIVO-PASSOS [ARGUMENTOS...]
//
// PASSO is the step at which the process is killed (0: none); ARGUMENTOS are the ERP's
// command line, and without them the program recovers as a start without arguments
// does. The environment gives the drives (ORVALIS_UNIDADES), the vendor
// (ORVALIS_FORNECEDOR), the updater's Windows path (ORVALIS_EXECUTAVEL), the clock
// (ORVALIS_AGORA, ISO 8601) and, in ORVALIS_FALHA, a failure of the run to cut off
// along its undo: "instrucao:N" (the N-th statement of the packages is refused) or
// "instalacao" (phase 6 cannot replace orvalisEmpresa.exe). A run that is not killed
// writes into ARQUIVO-PASSOS "passos=<steps taken>", "primeira_instrucao=<the step of
// the first statement, 0 for none>" and then every step taken, one a line, and exits 0.
#include "app/Erros.h"
#include "app/UnPrincipal.h"
#include "database/ExecutorSql.h"
#include "platform/CommandLineText.h"
#include "tests/support/AtualizacaoPreparada.h"
#include "tests/support/PlataformaFalhas.h"
#include "tests/support/PlataformaQueda.h"
#include "tests/support/PlataformaTeste.h"

#include <QApplication>
#include <QFile>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

using orvalis::teste::PlataformaQueda;

// Each statement of the package runner is a step before it reaches the server and
// another once it has run, before its commit; the statement numbered `recusada` (from
// 1; 0: none) is refused as the server refuses one.
class ExecutorSqlQueda : public orvalis::ExecutorSql {
  public:
    ExecutorSqlQueda(orvalis::ConexaoBanco& conexao, orvalis::TransacaoBanco& transacao,
                     PlataformaQueda& plataforma, int recusada)
        : ExecutorSql(conexao, transacao), plataforma_(plataforma), recusada_(recusada) {}

    void Executar() override {
        if (primeiroPasso_ == 0) primeiroPasso_ = plataforma_.Passos() + 1;
        plataforma_.Passo(QStringLiteral("instrução"));
        if (++instrucoes_ == recusada_) {
            throw orvalis::ErroOrvalis(QStringLiteral("instrução recusada pelo servidor"));
        }
        ExecutorSql::Executar();
        plataforma_.Passo(QStringLiteral("instrução executada"));
    }
    int64_t PrimeiroPasso() const { return primeiroPasso_; }

  private:
    PlataformaQueda& plataforma_;
    int recusada_;
    int instrucoes_ = 0;
    int64_t primeiroPasso_ = 0;
};

QString Ambiente(const char* nome) {
    const char* valor = std::getenv(nome);
    return valor != nullptr ? QString::fromUtf8(valor) : QString();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "uso: %s PASSO ARQUIVO-PASSOS ARGUMENTOS...\n", argv[0]);
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication aplicacao(argc, argv);
    const QStringList argumentos = aplicacao.arguments();

    orvalis::teste::PlataformaTeste gravador(Ambiente("ORVALIS_UNIDADES"));
    gravador.caminhoExecutavel = Ambiente("ORVALIS_EXECUTAVEL");
    gravador.agora = QDateTime::fromString(Ambiente("ORVALIS_AGORA"), Qt::ISODate);
    QStringList linha{gravador.caminhoExecutavel};
    linha += argumentos.mid(3);
    gravador.linhaComando = orvalis::CommandLineText::Join(linha);
    gravador.aoMostrarMensagem = [](const orvalis::teste::PlataformaTeste::Mensagem& m) {
        std::fprintf(stderr, "%s: %s\n", m.titulo.toUtf8().constData(),
                     m.texto.toUtf8().constData());
    };
    orvalis::teste::PlataformaFalhas falhas(gravador);
    const QString falha = Ambiente("ORVALIS_FALHA");
    if (falha == QLatin1String("instalacao")) {
        falhas.aoCopiar = [](const QString& origem, const QString& destino) -> uint32_t {
            return orvalis::teste::InstalaONovoEmpresa(origem, destino)
                       ? orvalis::winerror::kSharingViolation
                       : 0;
        };
    }
    const int recusada = falha.startsWith(QLatin1String("instrucao:")) ? falha.mid(10).toInt() : 0;
    PlataformaQueda plataforma(falhas, argumentos[1].toLongLong());

    orvalis::TfrmPrincipal janela(plataforma);
    auto* executor =
        new ExecutorSqlQueda(*janela.IBDatabase1, *janela.IBTransaction1, plataforma, recusada);
    janela.IBSQL1.reset(executor);
    janela.FormShow();
    if (argumentos.size() > 3) {
        janela.TimerAtualizarSistema->stop();
        janela.executor().ExecutarExecucao([&janela] { janela.AtualizarSistema(); });
    } else if (janela.TimerRecuperarAtualizacao->isActive()) {
        janela.TimerRecuperarAtualizacaoTimer();
    }

    QFile passos(argumentos[2]);
    QByteArray texto = "passos=" + QByteArray::number(static_cast<qlonglong>(plataforma.Passos())) +
                       "\nprimeira_instrucao=" +
                       QByteArray::number(static_cast<qlonglong>(executor->PrimeiroPasso())) + "\n";
    for (const QString& passo : plataforma.Registro()) texto += passo.toUtf8() + '\n';
    if (!passos.open(QIODevice::WriteOnly) || passos.write(texto) != texto.size()) return 1;
    return 0;
}
