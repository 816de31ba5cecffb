#include "app/ExecutorEventos.h"

#include "app/Erros.h"
#include "platform/Platform.h"

#include <exception>
#include <utility>

namespace orvalis {

ExecutorEventos::ExecutorEventos(Platform& plataforma, QString tituloAplicacao)
    : plataforma_(plataforma), tituloAplicacao_(std::move(tituloAplicacao)) {}

bool ExecutorEventos::Executar(const std::function<void()>& handler) {
    if (emExecucao_) return false;
    Rodar(handler);
    return true;
}

void ExecutorEventos::Rodar(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const EAbort&) {
        // The step that raised it has already said what went wrong.
    } catch (const ErroOrvalis& erro) {
        plataforma_.MessageBox(erro.mensagem(), tituloAplicacao_, MessageIcon::Error);
    } catch (const std::exception& erro) {
        plataforma_.MessageBox(QString::fromUtf8(erro.what()), tituloAplicacao_,
                               MessageIcon::Error);
    } catch (...) {
        plataforma_.MessageBox(QStringLiteral("Erro desconhecido."), tituloAplicacao_,
                               MessageIcon::Error);
    }
}

bool ExecutorEventos::ExecutarExecucao(const std::function<void()>& handler) {
    if (emExecucao_) return false;
    emExecucao_ = true;
    // The flag stays up until the error box (if any) is dismissed: the run is over
    // only when its event has ended.
    Rodar(handler);
    emExecucao_ = false;
    return true;
}

}  // namespace orvalis
