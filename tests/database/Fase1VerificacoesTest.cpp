#include "app/Erros.h"
#include "database/ConexaoBanco.h"
#include "database/ConsultaSql.h"
#include "net/CorpoEmail.h"
#include "tests/database/CenarioBanco.h"

#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>

#include <Poco/Net/SocketAddress.h>
#include <Poco/Net/StreamSocket.h>
#include <gtest/gtest.h>

#include <filesystem>

#include <memory>

namespace orvalis {
namespace {

using teste::BancoTeste;
using teste::CenarioBanco;

const QString kVerificando = "   - Verificando se banco de dados está liberado.";
const QString kOcupado =
    "    - Erro: Existem outros usuários ou aplicativos na rede que estão conectados ao banco "
    "de dados do orvalis Empresa.";
const QString kMuitoAntiga = "   - Erro: Versão do aplicativo muito antiga.";
const QStringList kLogCompleto = {kVerificando, "   - OK", "   - Testando versão atual do sistema",
                                  "   - OK", "   - Fase 1 concluída com sucesso"};
const QStringList kLogMuitoAntiga = {kVerificando, "   - OK",
                                     "   - Testando versão atual do sistema", kMuitoAntiga,
                                     "   - Fase 1 concluída com sucesso"};

class Fase1 : public CenarioBanco {
  protected:
    using CenarioBanco::CenarioBanco;

    // Changes the database before the run, on an attachment of its own.
    void Preparar(const QString& sql) { Abrir(kArquivoVivo)->Executar(sql); }
    bool BotoesVisiveis() const {
        return !janela.btRefresh->isHidden() && !janela.btAbortar->isHidden();
    }
    QStringList ArquivosDados() const { return instalacao.Listar(kDados); }
    // Ends an earlier phase 1 as the run's outcome would: disconnected, the live name
    // back, and a fresh log.
    void Devolver() {
        janela.IBDatabase1->Desconectar();
        if (instalacao.Existe(kArquivoRetido)) {
            ASSERT_TRUE(plataforma.MoveFile(kArquivoRetido, kArquivoVivo));
        }
        janela.Memo1->clear();
    }
};

TEST_F(Fase1, TakesTheDatabaseConnectsAndGathersTheReport) {
    ASSERT_NO_FATAL_FAILURE(ExecutarFase1());

    EXPECT_EQ(Log(), kLogCompleto);
    EXPECT_TRUE(janela.itDesconectouBanco);
    EXPECT_EQ(janela.lcScriptRodado, 120);
    EXPECT_FALSE(janela.itVersaoAntiga);
    EXPECT_EQ(janela.NomeUsuario, "José Antônio");
    EXPECT_EQ(janela.EmpresaAtualizando, "Padaria São João Ltda");
    EXPECT_EQ(janela.EmailCliente, "contato@padaria.example");
    EXPECT_EQ(janela.CorpoEmail,
              MontarCorpoEmail("Padaria São João Ltda", "12.345.678/0001-90", "Conceição Araújo",
                               "(11) 5555-0101", "contato@padaria.example", "José Antônio",
                               "orvalis Atualizador - Versão 2.8", "ACEG", "2.7", "2.8"));
    EXPECT_EQ(ArquivosDados(), QStringList{"OLD_RIVELOBASE.FDB"});
    EXPECT_EQ(janela.IBDatabase1->Banco(), kArquivoRetido);
    EXPECT_FALSE(BotoesVisiveis());
    EXPECT_EQ(registro.esperas, std::vector<uint32_t>{1000});
    EXPECT_EQ(registro.processamentosMensagens, 1);
}

TEST_F(Fase1, BuildsTheConnectionNameFromTheErpsPathNotTheSharedOne) {
    // The ERP reaches the same folder by another name: the rename uses the shared path.
    janela.itParametroCaminhoBD = "c:\\ORVALIS EMPRESA\\dados\\RIVELOBASE.FDB";
    ASSERT_NO_FATAL_FAILURE(ExecutarFase1());
    EXPECT_EQ(janela.IBDatabase1->Banco(), "c:\\ORVALIS EMPRESA\\dados\\OLD_RIVELOBASE.FDB");
}

enum class Recusa { kAbertoPorOutroAnexo, kArquivoRetidoSobrando, kArquivoVivoAusente };

struct CasoRecusa {
    const char* nome;
    Recusa recusa;
    QStringList arquivos;  // the Dados folder before and after
};

class Fase1Recusada : public Fase1, public ::testing::WithParamInterface<CasoRecusa> {};

TEST_P(Fase1Recusada, LogsTheBusyLineWaitsAndAbortsLeavingTheFilesAlone) {
    std::unique_ptr<BancoTeste> outroAnexo;
    switch (GetParam().recusa) {
        case Recusa::kAbertoPorOutroAnexo:
            outroAnexo = Abrir(kArquivoVivo);
            break;
        case Recusa::kArquivoRetidoSobrando:
            instalacao.Escrever(kArquivoRetido, "left over");
            break;
        case Recusa::kArquivoVivoAusente:
            instalacao.Apagar(kArquivoVivo);
            break;
    }
    janela.itDesconectouBanco = true;

    EXPECT_THROW(janela.Fase1Verificacoes(), EAbort);

    EXPECT_EQ(Log(), (QStringList{kVerificando, kOcupado}));
    EXPECT_FALSE(janela.itDesconectouBanco);
    EXPECT_TRUE(BotoesVisiveis());
    EXPECT_EQ(registro.esperas, std::vector<uint32_t>{1000});
    EXPECT_EQ(registro.processamentosMensagens, 1);
    EXPECT_FALSE(janela.IBDatabase1->Conectado());
    EXPECT_EQ(ArquivosDados(), GetParam().arquivos);
}

INSTANTIATE_TEST_SUITE_P(Casos, Fase1Recusada,
                         ::testing::Values(CasoRecusa{"OpenByAnotherAttachment",
                                                      Recusa::kAbertoPorOutroAnexo,
                                                      {"RIVELOBASE.FDB"}},
                                           CasoRecusa{"HeldFileLeftOver",
                                                      Recusa::kArquivoRetidoSobrando,
                                                      {"OLD_RIVELOBASE.FDB", "RIVELOBASE.FDB"}},
                                           CasoRecusa{
                                               "LiveFileMissing", Recusa::kArquivoVivoAusente, {}}),
                         [](const auto& info) { return std::string(info.param.nome); });

TEST_F(Fase1, AServerThatDoesNotAnswerGivesTheFileBackAndLogsTheHeldPath) {
    // Nothing listens on port 1 of this machine.
    janela.itParametroCaminhoBD = "127.0.0.1/1:C:\\orvalis Empresa\\Dados\\RIVELOBASE.FDB";

    EXPECT_THROW(janela.Fase1Verificacoes(), EAbort);

    EXPECT_EQ(Log(), (QStringList{kVerificando, "   - OK",
                                  "   - Erro na conexão com o Banco: C:\\orvalis "
                                  "Empresa\\Dados\\OLD_RIVELOBASE.FDB"}));
    EXPECT_EQ(ArquivosDados(), QStringList{"RIVELOBASE.FDB"});
    EXPECT_FALSE(janela.itDesconectouBanco);
    EXPECT_TRUE(BotoesVisiveis());
    EXPECT_TRUE(registro.esperas.empty());
    EXPECT_FALSE(janela.IBDatabase1->Conectado());
}

// The server that scripts/run-tests started for this run (its pid file in the run's
// state folder) answers; a server of somebody else's on the port is not this run's to use.
bool ServidorNoAr() {
    const QByteArray estado = qgetenv("ORVALIS_TEST_STATE");
    if (estado.isEmpty() || !QFile::exists(QString::fromLocal8Bit(estado) + "/firebird.pid")) {
        return false;
    }
    try {
        Poco::Net::StreamSocket conexao;
        conexao.connect(Poco::Net::SocketAddress("127.0.0.1", 3050), Poco::Timespan(2, 0));
        return true;
    } catch (const Poco::Exception&) {
        return false;
    }
}

TEST_F(Fase1, TheLocalhostPrefixConnectsThroughTheServerToTheHeldFile) {
    if (!ServidorNoAr()) {
        GTEST_SKIP() << "no Firebird server of this run on 127.0.0.1:3050 (scripts/test "
                        "starts one)";
    }
    // The server runs as the user firebird: it must reach the folders and the file.
    namespace fs = std::filesystem;
    const fs::path raiz = fs::path(Nativo("C:")).parent_path();
    for (fs::path pasta = Nativo(kDados); pasta != raiz.parent_path();
         pasta = pasta.parent_path()) {
        fs::permissions(pasta, fs::perms::others_exec, fs::perm_options::add);
    }
    fs::permissions(Nativo(kArquivoVivo), fs::perms::others_read | fs::perms::others_write,
                    fs::perm_options::add);
    janela.itParametroCaminhoBD = "localhost:" + kCaminhoVivo;

    ASSERT_NO_FATAL_FAILURE(ExecutarFase1());

    EXPECT_EQ(janela.IBDatabase1->Banco(),
              "localhost:C:\\orvalis Empresa\\Dados\\OLD_RIVELOBASE.FDB");
    EXPECT_EQ(Log(), kLogCompleto);
    EXPECT_EQ(janela.lcScriptRodado, 120);
    EXPECT_EQ(janela.NomeUsuario, "José Antônio");
    janela.qrAux->Executar(
        "select mon$remote_protocol as protocolo from mon$attachments "
        "where mon$attachment_id = current_connection");
    EXPECT_EQ(janela.qrAux->ComoTexto("protocolo").trimmed(), "TCPv4") << "through the server";
    EXPECT_FALSE(plataforma.MoveFile(kArquivoRetido, kArquivoVivo))
        << "the server process holds the file";
    janela.IBDatabase1->Desconectar();
}

TEST_F(Fase1, TheVersionTestDrawsTheLineBetween60And61) {
    struct Caso {
        const char* valor;
        int32_t contador;
        bool antiga;
    };
    const Caso casos[] = {
        {"61", 61, false}, {"60", 60, true}, {"0", 0, true}, {"-5", -5, true}, {"NULL", 0, true},
    };
    for (const Caso& caso : casos) {
        SCOPED_TRACE(caso.valor);
        ASSERT_NO_FATAL_FAILURE(Devolver());
        Preparar(QString("update tab_parametro set script_rodado = %1").arg(caso.valor));

        ASSERT_NO_FATAL_FAILURE(ExecutarFase1());

        EXPECT_EQ(janela.lcScriptRodado, caso.contador);
        EXPECT_EQ(janela.itVersaoAntiga, caso.antiga);
        EXPECT_EQ(Log(), caso.antiga ? kLogMuitoAntiga : kLogCompleto);
        EXPECT_FALSE(janela.CorpoEmail.isEmpty()) << "the report is gathered all the same";
    }
}

class Fase1SemScriptRodado : public Fase1 {
  protected:
    Fase1SemScriptRodado() : Fase1(BancoTeste::Variante::kSemScriptRodado) {}
};

TEST_F(Fase1SemScriptRodado, CountsByTheHighestUpdateOfTheLog) {
    struct Caso {
        const char* preparo;
        int32_t contador;
        bool antiga;
    };
    // One after the other, on the same database.
    const Caso casos[] = {
        {nullptr, 58, true},
        {"insert into mov_log_atualizacao values (75)", 75, false},
        {"delete from mov_log_atualizacao", 0, true},
    };
    for (const Caso& caso : casos) {
        SCOPED_TRACE(caso.preparo ? caso.preparo : "the schema's log");
        ASSERT_NO_FATAL_FAILURE(Devolver());
        if (caso.preparo) Preparar(caso.preparo);
        ASSERT_NO_FATAL_FAILURE(ExecutarFase1());
        EXPECT_EQ(janela.lcScriptRodado, caso.contador);
        EXPECT_EQ(janela.itVersaoAntiga, caso.antiga);
    }
}

TEST_F(Fase1, AnUnknownUserLeavesTheNameEmpty) {
    for (const int32_t usuario : {99, 0, -1}) {
        SCOPED_TRACE(usuario);
        ASSERT_NO_FATAL_FAILURE(Devolver());
        janela.NomeUsuario = "anterior";
        janela.itUsuario = usuario;
        ASSERT_NO_FATAL_FAILURE(ExecutarFase1());
        EXPECT_EQ(janela.NomeUsuario, "");
        EXPECT_EQ(Log().last(), "   - Fase 1 concluída com sucesso");
    }
}

TEST_F(Fase1, TheModuleLettersFollowTheCapitalSFlags) {
    const QStringList colunas = {"ATIVO_COMERCIO",  "ATIVO_SERVICOS",   "ATIVO_ESTOQUE",
                                 "ATIVO_MONTAGEM",  "ATIVO_FINANCEIRO", "ATIVO_CONTAS_CORRENTES",
                                 "ATIVO_PRE_DATADO"};
    struct Caso {
        QStringList valores;
        const char* modulos;
    };
    const Caso casos[] = {
        {{"'S'", "'S'", "'S'", "'S'", "'S'", "'S'", "'S'"}, "ABCDEFG"},
        {{"'N'", "'N'", "NULL", "'s'", "''", "'N'", "'N'"}, ""},
        {{"'N'", "'S'", "'N'", "'N'", "'N'", "'N'", "'S'"}, "BG"},
    };
    for (const Caso& caso : casos) {
        SCOPED_TRACE(caso.modulos);
        ASSERT_NO_FATAL_FAILURE(Devolver());
        QStringList atribuicoes;
        for (qsizetype i = 0; i < colunas.size(); ++i) {
            atribuicoes << colunas[i] + " = " + caso.valores[i];
        }
        Preparar("update tab_parametro set " + atribuicoes.join(", "));
        ASSERT_NO_FATAL_FAILURE(ExecutarFase1());
        EXPECT_EQ(
            janela.CorpoEmail,
            MontarCorpoEmail("Padaria São João Ltda", "12.345.678/0001-90", "Conceição Araújo",
                             "(11) 5555-0101", "contato@padaria.example", "José Antônio",
                             "orvalis Atualizador - Versão 2.8", caso.modulos, "2.7", "2.8"));
    }
}

class Fase1SemLinhas : public Fase1 {
  protected:
    Fase1SemLinhas() : Fase1(BancoTeste::Variante::kSemLinhas) {}
};

TEST_F(Fase1SemLinhas, AParameterTableWithoutRowsIsTooOldAndHasNoCustomer) {
    janela.EmpresaAtualizando = "anterior";
    janela.EmailCliente = "anterior";
    ASSERT_NO_FATAL_FAILURE(ExecutarFase1());
    EXPECT_EQ(janela.lcScriptRodado, 0);
    EXPECT_TRUE(janela.itVersaoAntiga);
    EXPECT_EQ(Log(), kLogMuitoAntiga);
    EXPECT_EQ(janela.EmpresaAtualizando, "");
    EXPECT_EQ(janela.EmailCliente, "");
    EXPECT_EQ(janela.CorpoEmail,
              MontarCorpoEmail("", "", "", "", "", "José Antônio",
                               "orvalis Atualizador - Versão 2.8", "", "2.7", "2.8"));
}

TEST_F(Fase1, AFailingQueryIsNotCaughtAndLeavesTheDatabaseHeld) {
    Preparar("drop table sis_usuario");
    EXPECT_THROW(janela.Fase1Verificacoes(), ErroOrvalis);
    EXPECT_TRUE(janela.itDesconectouBanco);
    EXPECT_TRUE(janela.IBDatabase1->Conectado());
    EXPECT_EQ(janela.lcScriptRodado, 120);
    EXPECT_EQ(Log(), kLogCompleto);
    EXPECT_FALSE(BotoesVisiveis());
}

}  // namespace
}  // namespace orvalis
