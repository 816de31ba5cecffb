// The progress line of long work: its text, and how often it redraws.
#include "app/IndicadorAndamento.h"
#include "tests/support/InstalacaoTemporaria.h"

#include <QLabel>
#include <QProgressBar>
#include <QWidget>

#include <gtest/gtest.h>

namespace orvalis {
namespace {

TEST(IndicadorAndamento, SaysWhatHowMuchHowFastAndHowLong) {
    constexpr int64_t kMB = 1024 * 1024;
    struct Caso {
        int64_t feitos;
        int64_t total;
        int64_t decorridoMs;
        const char* texto;
    };
    const Caso casos[] = {
        // Under a second there is no rate to trust yet.
        {0, 48 * kMB, 0, "Baixando orvalisEmpresa.rar: 0,0 KB de 48,0 MB"},
        {512 * 1024, 48 * kMB, 500, "Baixando orvalisEmpresa.rar: 512,0 KB de 48,0 MB"},
        {12 * kMB + kMB / 2, 48 * kMB, 4000,
         "Baixando orvalisEmpresa.rar: 12,5 MB de 48,0 MB, 3,1 MB/s, restam 12 s"},
        {kMB, 1200 * kMB, 1000,
         "Baixando orvalisEmpresa.rar: 1,0 MB de 1,2 GB, 1,0 MB/s, restam 19 min 59 s"},
        {kMB, 4000 * kMB, 1000,
         "Baixando orvalisEmpresa.rar: 1,0 MB de 3,9 GB, 1,0 MB/s, restam 1 h 06 min"},
        {48 * kMB, 48 * kMB, 2000, "Baixando orvalisEmpresa.rar: 48,0 MB de 48,0 MB, 24,0 MB/s"},
        // A chunked body tells no total: no part of it, and no time left.
        {3 * kMB, -1, 2000, "Baixando orvalisEmpresa.rar: 3,0 MB, 1,5 MB/s"},
    };
    for (const Caso& caso : casos) {
        EXPECT_EQ(IndicadorAndamento::Texto("Baixando orvalisEmpresa.rar", caso.feitos, caso.total,
                                            caso.decorridoMs),
                  QString::fromUtf8(caso.texto));
    }
}

TEST(IndicadorAndamento, RedrawsAtMostTenTimesASecondAndHidesWhenDone) {
    teste::InstalacaoTemporaria instalacao;
    teste::PlataformaTeste& plataforma = instalacao.plataforma();
    QWidget pagina;
    auto* barra = new QProgressBar(&pagina);
    auto* linha = new QLabel(&pagina);
    barra->hide();
    linha->hide();
    IndicadorAndamento indicador(plataforma, barra, linha);

    indicador.Iniciar("Copiando o banco de dados para o backup");
    EXPECT_FALSE(barra->isHidden());
    EXPECT_FALSE(linha->isHidden());
    // A report every 10 ms for 20 s: the first is drawn, then one every 100 ms.
    constexpr int64_t kTotal = 2000000;
    for (int64_t feitos = 0; feitos < kTotal; feitos += 1000) {
        indicador.Informar(feitos, kTotal);
        plataforma.tiques += 10;
    }
    const uint64_t decorrido = plataforma.tiques;
    const int redesenhos = plataforma.processamentosMensagens;
    indicador.Informar(kTotal, kTotal);
    EXPECT_EQ(static_cast<uint64_t>(redesenhos), decorrido / 100) << "in " << decorrido << " ms";
    EXPECT_EQ(plataforma.processamentosMensagens, redesenhos + 1) << "the last report is drawn";
    EXPECT_EQ(barra->value(), barra->maximum());
    EXPECT_TRUE(linha->text().startsWith("Copiando o banco de dados para o backup: 1,9 MB de "))
        << linha->text().toStdString();

    indicador.Concluir();
    EXPECT_TRUE(barra->isHidden());
    EXPECT_TRUE(linha->isHidden());
}

}  // namespace
}  // namespace orvalis
