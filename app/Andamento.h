#pragma once

#include "app/IndicadorAndamento.h"
#include "platform/Platform.h"

#include <QString>

namespace orvalis {

// Shows `indicador` for the life of the object, and hands the work its progress routine.
class Andamento {
  public:
    Andamento(IndicadorAndamento& indicador, const QString& acao);
    ~Andamento();
    Andamento(const Andamento&) = delete;
    Andamento& operator=(const Andamento&) = delete;

    ProgressRoutine Rotina() const;

  private:
    IndicadorAndamento& indicador_;
};

}  // namespace orvalis
