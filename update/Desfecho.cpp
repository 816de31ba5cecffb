#include "update/Desfecho.h"

namespace orvalis {

const QStringList& LinhasSucesso() {
    static const QStringList linhas = {
        QStringLiteral(" ATUALIZAÇÃO CONCLUÍDA COM SUCESSO:"),
        QStringLiteral("   - O seu banco de dados foi atualizado."),
        QStringLiteral("   - A nova versão do sistema está disponível no seu servidor."),
        QStringLiteral("   - Obrigado por manter seu sistema sempre atualizado."),
        QStringLiteral("   - O sistema já está liberado para o uso."),
    };
    return linhas;
}

const QStringList& LinhasFalha() {
    static const QStringList linhas = {
        QStringLiteral(" FALHA NA ATUALIZAÇÃO DO SISTEMA:"),
        QStringLiteral("   - O seu sistema e banco de dados não foram atualizados."),
        QStringLiteral("   - Entre em contato com o suporte técnico da orvalis."),
        QStringLiteral("   - A versão anterior, sem alterações, continua disponível para o uso."),
    };
    return linhas;
}

void ConcluirApos(const std::function<void()>& concluir, const std::function<void()>& passos) {
    try {
        passos();
    } catch (...) {
        concluir();
        throw;
    }
    concluir();
}

}  // namespace orvalis
