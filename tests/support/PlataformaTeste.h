#pragma once

#include "platform/PlatformWrapper.h"

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace orvalis::teste {

// The platform of a test: the real file services of this machine over the drives that
// `unidades` maps (ORVALIS_UNIDADES syntax), with recorders in place of the calls that
// would wait, block on a dialog, start a program or read the clock. A wait returns at
// once and is recorded; a message box is recorded and counts as dismissed.
class PlataformaTeste : public PlatformWrapper {
  public:
    struct Mensagem {
        QString texto;
        QString titulo;
        MessageIcon icone;
    };
    struct Execucao {
        QString arquivo;
        QString parametros;
    };

    explicit PlataformaTeste(const QString& unidades);
    ~PlataformaTeste() override;

    // --- what the program did ---
    std::vector<uint32_t> esperas;
    std::vector<Mensagem> mensagens;
    std::vector<Execucao> execucoes;
    int pedidosTermino = 0;
    int processamentosMensagens = 0;

    // --- what the program sees ---
    QDateTime agora = QDateTime(QDate(2026, 12, 10), QTime(14, 30, 5));
    // The interval clock (GetTickCount64), which stands still unless a test moves it.
    uint64_t tiques = 0;
    QString linhaComando = QStringLiteral("orvalisAtualizador.exe");
    QString caminhoExecutavel;
    QString nomeMaquina = QStringLiteral("SERVIDOR-TESTE");

    // Run inside the recorded call, so that a test can act where the program waits.
    std::function<void()> aoProcessarMensagens;
    std::function<void(uint32_t)> aoEsperar;
    std::function<void(const Mensagem&)> aoMostrarMensagem;

    // Total of the recorded waits, in milliseconds.
    uint64_t TotalEsperado() const;

    void Sleep(uint32_t milliseconds) override;
    void ProcessMessages() override;
    void MessageBox(const QString& text, const QString& title, MessageIcon icon) override;
    void RequestTerminate() override;
    int ShellExecute(const QString& file, const QString& parameters) override;
    QDateTime Now() override { return agora; }
    uint64_t GetTickCount64() override { return tiques; }
    QString CommandLine() override { return linhaComando; }
    QString HostName() override { return nomeMaquina; }
    QString ExecutablePath() override { return caminhoExecutavel; }
    // The Brazilian formats: dd/MM/yyyy and HH:mm:ss.
    QString FormatShortDate(const QDate& date) override;
    QString FormatLongTime(const QTime& time) override;

  private:
    std::unique_ptr<Platform> real_;
};

}  // namespace orvalis::teste
