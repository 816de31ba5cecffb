#include "app/Erros.h"
#include "app/RotuloClicavel.h"
#include "app/UnPrincipal.h"
#include "files/MensagemErroSistema.h"
#include "net/Extracao.h"
#include "platform/Platform.h"

#include <QChar>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

namespace orvalis {

namespace {

const QString kPacoteDll = QStringLiteral("orvalisPacoteDll.rar");
const QChar kRetorno = QLatin1Char('\r');

// The part of the application's file name before its first ".".
QString NomeBase(const QString& aplicativo) {
    const qsizetype ponto = aplicativo.indexOf(QLatin1Char('.'));
    return ponto < 0 ? QString() : aplicativo.left(ponto);
}

// However the refresh ends, also by an error, the user is left with the button that
// ends the program.
class BotaoAoTerminar {
  public:
    explicit BotaoAoTerminar(QPushButton* botao) : botao_(botao) {}
    ~BotaoAoTerminar() {
        botao_->show();
        botao_->setFocus();
    }
    BotaoAoTerminar(const BotaoAoTerminar&) = delete;
    BotaoAoTerminar& operator=(const BotaoAoTerminar&) = delete;

  private:
    QPushButton* botao_;
};

}  // namespace

void TfrmPrincipal::timerAtualizaMaqLocalTimer() {
    timerAtualizaMaqLocal->stop();
    plataforma_.Sleep(2000);
    plataforma_.ProcessMessages();
    AtualizarMaquinaLocal();
}

void TfrmPrincipal::AtualizarMaquinaLocal() {
    BotaoAoTerminar botaoOk(btFase1);
    const QString nomeBase = NomeBase(itAplicativo);
    lblFase1->setText(QStringLiteral("O aplicativo ") + nomeBase +
                      QStringLiteral(" está sendo atualizado. Aguarde..."));
    Repintar(lblFase1);

    InstalarPacoteDll();

    const QString origem = itDiretorioPastaMestre + QLatin1Char('\\') + itAplicativo;
    const QString destino = itParametroCaminhoExecutavel + QLatin1Char('\\') + itAplicativo;
    if (plataforma_.CopyFile(origem, destino)) {
        lblFase1->setText(QStringLiteral("Pronto. O aplicativo ") + nomeBase +
                          QStringLiteral(" foi atualizado e iniciará automaticamente."));
        Repintar(lblFase1);
        plataforma_.ProcessMessages();
        Label2->show();
        Label3->show();
        lbUltAtualizac->show();
        btFase1->hide();
        plataforma_.Sleep(3000);
        // The close rule starts the refreshed application and ends the program.
        FecharPeloPrograma();
    } else {
        const uint32_t erro = plataforma_.LastError();
        lblFase1->setText(QStringLiteral(" Não foi possível copiar o sistema para sua máquina") +
                          kRetorno + QStringLiteral(" De: ") + origem + kRetorno +
                          QStringLiteral(" Para: ") + destino + kRetorno +
                          QStringLiteral(" Erro: ") + MensagemErroSistema(plataforma_, erro));
    }
    Repintar(lblFase1);
    plataforma_.ProcessMessages();
}

void TfrmPrincipal::InstalarPacoteDll() {
    const QString pacoteServidor = itDiretorioPastaMestre + QLatin1Char('\\') + kPacoteDll;
    const QString pacoteEstacao = itParametroCaminhoExecutavel + QLatin1Char('\\') + kPacoteDll;
    const bool copiou = plataforma_.CopyFile(pacoteServidor, pacoteEstacao);
    if (!copiou) {
        lblFase1->setText(QStringLiteral(
            "Não foi possível copiar o arquivo orvalisPacoteDll.rar para sua máquina"));
    }
    plataforma_.Sleep(1000);
    try {
        // Whatever package the workstation holds is unpacked, never over a file it has.
        ExtrairArquivo(plataforma_, itParametroCaminhoExecutavel, pacoteEstacao,
                       itParametroCaminhoExecutavel);
    } catch (const ErroOrvalis&) {
        // A package that cannot be unpacked leaves the libraries as they were; the
        // refresh goes on.
    }
    plataforma_.Sleep(5000);
    // Only a copy of its own is removed: with the workstation folder equal to the server
    // folder the package there is the server's.
    if (copiou && plataforma_.FileExists(pacoteEstacao)) plataforma_.DeleteFile(pacoteEstacao);
    Repintar(lblFase1);
    plataforma_.ProcessMessages();
}

}  // namespace orvalis
