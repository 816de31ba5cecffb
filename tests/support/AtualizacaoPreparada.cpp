#include "tests/support/AtualizacaoPreparada.h"

#include "app/UnPrincipal.h"
#include "tests/support/BancoTeste.h"
#include "tests/support/InstalacaoTemporaria.h"

namespace orvalis::teste {

void PrepararAtualizacaoServidor(InstalacaoTemporaria& instalacao, TfrmPrincipal& janela) {
    const QString banco = InstalacaoTemporaria::kPastaDados + QStringLiteral("\\Rivelobase.fdb");
    instalacao.Escrever(InstalacaoTemporaria::kPastaMestre + QStringLiteral("\\orvalisEmpresa.exe"),
                        "orvalisEmpresa.exe 2.7");
    BancoTeste::Criar(instalacao.Nativo(banco).toStdString(), BancoTeste::Variante::kCompleta);
    janela.itDiretorioPastaMestre = InstalacaoTemporaria::kPastaMestre;
    janela.itParametroCaminhoBD = banco;
    janela.itParametroCaminhoExecutavel = InstalacaoTemporaria::kPastaEstacao;
    janela.itAplicativo = QStringLiteral("orvalisEmpresa.exe");
    janela.itVersaoErp = QStringLiteral("2.7");
    janela.itVersaoSite = QStringLiteral("2.8");
    janela.itUsuario = 1;
    janela.itBackup = janela.MontarPastasServidor();
    janela.itdhDataHoraAtualizacao = instalacao.plataforma().agora;
    instalacao.CriarPasta(janela.PastaBackupExecucao());
}

}  // namespace orvalis::teste
