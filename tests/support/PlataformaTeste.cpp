#include "tests/support/PlataformaTeste.h"

#include "platform/PosixPlatform.h"

#include <QCoreApplication>

#include <numeric>

namespace orvalis::teste {

namespace {
// The wrapper needs its target before the owning pointer is set up.
std::unique_ptr<Platform> NovaPlataforma(const QString& unidades) {
    return std::make_unique<PosixPlatform>(unidades);
}
}  // namespace

PlataformaTeste::PlataformaTeste(const QString& unidades)
    : PlatformWrapper(*NovaPlataforma(unidades).release()) {
    real_.reset(&target());
}

PlataformaTeste::~PlataformaTeste() = default;

uint64_t PlataformaTeste::TotalEsperado() const {
    return std::accumulate(esperas.begin(), esperas.end(), uint64_t{0});
}

void PlataformaTeste::Sleep(uint32_t milliseconds) {
    esperas.push_back(milliseconds);
    if (aoEsperar) aoEsperar(milliseconds);
}

void PlataformaTeste::ProcessMessages() {
    ++processamentosMensagens;
    QCoreApplication::processEvents();
    if (aoProcessarMensagens) aoProcessarMensagens();
}

void PlataformaTeste::MessageBox(const QString& text, const QString& title, MessageIcon icon) {
    mensagens.push_back({text, title, icon});
    if (aoMostrarMensagem) aoMostrarMensagem(mensagens.back());
}

void PlataformaTeste::RequestTerminate() {
    ++pedidosTermino;
}

int PlataformaTeste::ShellExecute(const QString& file, const QString& parameters) {
    execucoes.push_back({file, parameters});
    return 42;
}

QString PlataformaTeste::FormatShortDate(const QDate& date) {
    return date.toString(QStringLiteral("dd/MM/yyyy"));
}

QString PlataformaTeste::FormatLongTime(const QTime& time) {
    return time.toString(QStringLiteral("HH:mm:ss"));
}

}  // namespace orvalis::teste
