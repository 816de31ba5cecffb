#include "tests/support/AtualizacaoPreparada.h"

#include "app/UnPrincipal.h"
#include "tests/support/BancoTeste.h"
#include "tests/support/FornecedorLocal.h"
#include "tests/support/InstalacaoTemporaria.h"

namespace orvalis::teste {

namespace {

const QString kBanco = InstalacaoTemporaria::kPastaDados + QStringLiteral("\\Rivelobase.fdb");

}  // namespace

void PrepararInstalacaoServidor(InstalacaoTemporaria& instalacao, const QStringList& aplicativos) {
    for (const QString& nome : aplicativos) {
        instalacao.Escrever(InstalacaoTemporaria::kPastaMestre + QLatin1Char('\\') + nome,
                            QByteArray::fromStdString(
                                FornecedorLocal::ConteudoExecutavel(nome, QStringLiteral("2.7"))));
    }
    BancoTeste::Criar(instalacao.Nativo(kBanco).toStdString(), BancoTeste::Variante::kCompleta);
}

void PrepararAtualizacaoServidor(InstalacaoTemporaria& instalacao, TfrmPrincipal& janela) {
    PrepararInstalacaoServidor(instalacao);
    janela.itDiretorioPastaMestre = InstalacaoTemporaria::kPastaMestre;
    janela.itParametroCaminhoBD = kBanco;
    janela.itParametroCaminhoExecutavel = InstalacaoTemporaria::kPastaEstacao;
    janela.itAplicativo = QStringLiteral("orvalisEmpresa.exe");
    janela.itVersaoErp = QStringLiteral("2.7");
    janela.itVersaoSite = QStringLiteral("2.8");
    janela.itUsuario = 1;
    janela.itBackup = janela.MontarPastasServidor();
    janela.itdhDataHoraAtualizacao = instalacao.plataforma().agora;
    instalacao.CriarPasta(janela.PastaBackupExecucao());
}

bool InstalaONovoEmpresa(const QString& origem, const QString& destino) {
    return origem.endsWith(QStringLiteral("\\tmp\\orvalisEmpresa.exe")) &&
           destino.endsWith(QStringLiteral("Atualizador\\orvalisEmpresa.exe"));
}

}  // namespace orvalis::teste
