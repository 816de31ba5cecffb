#include "app/Erros.h"
#include "app/ExecutorEventos.h"
#include "tests/support/InstalacaoTemporaria.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace orvalis {
namespace {

class Executor : public ::testing::Test {
  protected:
    teste::InstalacaoTemporaria instalacao;
    teste::PlataformaTeste& plataforma = instalacao.plataforma();
    ExecutorEventos executor{plataforma, "orvalisAtualizador"};
};

TEST_F(Executor, SilentAbortEndsTheEventWithoutADialog) {
    bool depois = false;
    executor.Executar([&] {
        Abortar();
        depois = true;
    });
    EXPECT_FALSE(depois);
    EXPECT_TRUE(plataforma.mensagens.empty());
}

TEST_F(Executor, AnyOtherErrorIsShownInTheStandardErrorBox) {
    executor.Executar([] { throw ErroOrvalis("Falha na conexão: ção"); });
    executor.Executar([] { throw std::runtime_error("library said no"); });
    ASSERT_EQ(plataforma.mensagens.size(), 2u);
    EXPECT_EQ(plataforma.mensagens[0].texto, "Falha na conexão: ção");
    EXPECT_EQ(plataforma.mensagens[0].titulo, "orvalisAtualizador");
    EXPECT_EQ(plataforma.mensagens[0].icone, MessageIcon::Error);
    EXPECT_EQ(plataforma.mensagens[1].texto, "library said no");
}

TEST_F(Executor, NoOtherHandlerRunsWhileARunIsInProgress) {
    // A click or a timer let through by the run's processing of window messages.
    int outros = 0;
    EXPECT_TRUE(executor.ExecutarExecucao([&] {
        EXPECT_FALSE(executor.Executar([&] { ++outros; }));
        plataforma.aoMostrarMensagem = [&](const teste::PlataformaTeste::Mensagem&) {
            EXPECT_FALSE(executor.Executar([&] { ++outros; }));
        };
        throw ErroOrvalis("erro");
    }));
    EXPECT_EQ(outros, 0);
    EXPECT_TRUE(executor.Executar([&] { ++outros; }));
    EXPECT_EQ(outros, 1);
}

TEST_F(Executor, ASecondRunIsRefusedWhileTheFirstIsStillUnwinding) {
    int execucoes = 0;
    // The error box of the first run is where the user could click again.
    plataforma.aoMostrarMensagem = [&](const teste::PlataformaTeste::Mensagem&) {
        EXPECT_TRUE(executor.EmExecucao());
        EXPECT_FALSE(executor.ExecutarExecucao([&] { ++execucoes; }));
    };
    EXPECT_TRUE(executor.ExecutarExecucao([&] {
        ++execucoes;
        EXPECT_FALSE(executor.ExecutarExecucao([&] { ++execucoes; }));
        throw ErroOrvalis("erro");
    }));
    EXPECT_EQ(execucoes, 1);
    EXPECT_FALSE(executor.EmExecucao());
    EXPECT_TRUE(executor.ExecutarExecucao([&] { ++execucoes; }));
    EXPECT_EQ(execucoes, 2);
}

}  // namespace
}  // namespace orvalis
