#include "tests/database/CenarioBanco.h"

#include "database/ConexaoBanco.h"
#include "database/PacoteSql.h"

namespace orvalis::teste {

CenarioBanco::CenarioBanco(BancoTeste::Variante variante) {
    janela.itDiretorioPastaMestre = InstalacaoTemporaria::kPastaMestre;
    janela.itParametroCaminhoCompartilhadoBD = kCaminhoVivo;
    janela.itParametroCaminhoBD = kCaminhoVivo;
    janela.itBackup = InstalacaoTemporaria::kPastaBackup;
    janela.itVersaoErp = QStringLiteral("2.7");
    janela.itVersaoSite = QStringLiteral("2.8");
    janela.itUsuario = 7;
    janela.itdhDataHoraAtualizacao = registro.agora;
    instalacao.CriarPasta(kStaging);
    instalacao.CriarPasta(janela.PastaBackupExecucao());
    BancoTeste::Criar(Nativo(kArquivoVivo), variante);
}

QStringList CenarioBanco::Log() const {
    // The stamp of the test platform: "dd/MM/yyyy HH:mm:ss".
    const QString carimbo = registro.FormatShortDate(registro.agora.date()) + QLatin1Char(' ') +
                            registro.FormatLongTime(registro.agora.time());
    QStringList textos;
    for (const QString& linha : janela.LinhasLog()) {
        EXPECT_TRUE(linha.startsWith(carimbo)) << linha.toStdString();
        textos << linha.mid(carimbo.size());
    }
    return textos;
}

std::string CenarioBanco::Nativo(const QString& caminho) const {
    return instalacao.Nativo(caminho).toStdString();
}

std::unique_ptr<BancoTeste> CenarioBanco::Abrir(const QString& caminho) const {
    return std::make_unique<BancoTeste>(Nativo(caminho));
}

void CenarioBanco::EscreverPacote(int numero, const QByteArray& conteudo) const {
    instalacao.Escrever(CaminhoPacote(InstalacaoTemporaria::kPastaMestre, numero), conteudo);
}

void CenarioBanco::ExecutarFase1() {
    ASSERT_NO_THROW(janela.Fase1Verificacoes()) << Log().join('\n').toStdString();
    ASSERT_TRUE(janela.IBDatabase1->Conectado());
}

}  // namespace orvalis::teste
