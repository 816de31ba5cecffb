// A server update that ends abruptly at a chosen step: the updater's window over the
// crashing platform, run as the ERP starts it but without its waits.
//
//     orvalis_atualizacao_interrompida PASSO ARQUIVO-PASSOS ARGUMENTOS...
//
// PASSO is the step at which the process is killed (0: none); ARGUMENTOS are the ERP's
// command line. The environment gives the drives (ORVALIS_UNIDADES), the vendor
// (ORVALIS_FORNECEDOR), the updater's Windows path (ORVALIS_EXECUTAVEL) and the clock
// (ORVALIS_AGORA, ISO 8601). A run that is not killed writes the number of steps it took
// into ARQUIVO-PASSOS and exits 0.
#include "app/UnPrincipal.h"
#include "database/ExecutorSql.h"
#include "platform/CommandLineText.h"
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
// another once it has run, before its commit.
class ExecutorSqlQueda : public orvalis::ExecutorSql {
  public:
    ExecutorSqlQueda(orvalis::ConexaoBanco& conexao, orvalis::TransacaoBanco& transacao,
                     PlataformaQueda& plataforma)
        : ExecutorSql(conexao, transacao), plataforma_(plataforma) {}

    void Executar() override {
        plataforma_.Passo();
        ExecutorSql::Executar();
        plataforma_.Passo();
    }

  private:
    PlataformaQueda& plataforma_;
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
    PlataformaQueda plataforma(gravador, argumentos[1].toLongLong());

    orvalis::TfrmPrincipal janela(plataforma);
    janela.IBSQL1 =
        std::make_unique<ExecutorSqlQueda>(*janela.IBDatabase1, *janela.IBTransaction1, plataforma);
    janela.FormShow();
    janela.TimerAtualizarSistema->stop();
    janela.executor().ExecutarExecucao([&janela] { janela.AtualizarSistema(); });

    QFile passos(argumentos[2]);
    if (!passos.open(QIODevice::WriteOnly) ||
        passos.write(QByteArray::number(static_cast<qlonglong>(plataforma.Passos()))) < 0) {
        return 1;
    }
    return 0;
}
