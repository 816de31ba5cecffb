#include "app/Andamento.h"

namespace orvalis {

Andamento::Andamento(IndicadorAndamento& indicador, const QString& acao) : indicador_(indicador) {
    indicador_.Iniciar(acao);
}

Andamento::~Andamento() {
    indicador_.Concluir();
}

ProgressRoutine Andamento::Rotina() const {
    return [this](int64_t feitos, int64_t total) { return indicador_.Informar(feitos, total); };
}

}  // namespace orvalis
