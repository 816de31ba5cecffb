#include "app/UnPrincipal.h"
#include "net/Endpoints.h"
#include "tests/support/ImpressaoQt.h"
#include "tests/support/InstalacaoTemporaria.h"
#include "tests/support/ServidoresLocais.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QPlainTextEdit>

#include <gtest/gtest.h>

namespace orvalis {
namespace {

using teste::InstalacaoTemporaria;
using teste::ServidoresLocais;

// The launch asks the vendor's FTP release folder for the release and announces it,
// less the last four characters of the entry's name.
TEST(VersaoDaLiberacao, IsTheReleaseEntryLessItsLastFourCharacters) {
    ASSERT_TRUE(ServidoresLocais::NomesDeTesteResolvem())
        << "run inside scripts/run-tests, whose hosts file names the test hosts";
    struct Caso {
        QStringList nomes;
        QString versao;
    };
    const Caso casos[] = {
        {{"Leiame.txt", "2.8.ERP"}, "2.8"}, {{"ERP1"}, ""},    {{"ERP"}, "ERP"},
        {{"2.9.ERP", "2.10.ERP"}, "2.10"},  {{"2.8.erp"}, ""},
    };
    const Endpoints anteriores = Endpoints::Atuais();
    for (const Caso& caso : casos) {
        SCOPED_TRACE(caso.nomes.join(',').toStdString());
        ServidoresLocais servidores;
        servidores.IniciarFtp(QJsonObject{{"nomes", QJsonArray::fromStringList(caso.nomes)}});
        Endpoints::Substituir(servidores.Fornecedor());
        InstalacaoTemporaria instalacao;
        instalacao.plataforma().linhaComando =
            "orvalisAtualizador.exe @F2 @V2.7 @MC:\\orvalis§Empresa\\Atualizador";
        TfrmPrincipal janela(instalacao.plataforma());
        janela.FormShow();
        EXPECT_EQ(janela.itVersaoSite, caso.versao);
        EXPECT_EQ(janela.LinhasInformacoes().value(1), "Nova versão do sistema: " + caso.versao);
        EXPECT_EQ(janela.ListBox1, caso.nomes);
    }
    Endpoints::Substituir(anteriores);
}

}  // namespace
}  // namespace orvalis
