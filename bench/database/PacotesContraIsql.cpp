// The package runner against isql-fb on the same statements, each committed on its own,
// with the embedded engine for both.
//
//   bench_pacotes_isql [statements [folder]]     default: 20000, the temporary folder
//
// All start from copies of one fresh database (synchronous writes on, the engine's
// default) and insert the same rows: the runner as one package whose statements it
// commits one by one (commit-retaining), isql-fb as a script with a commit after every
// statement, once with COMMIT (isql's usual way, which ends the transaction) and once
// with COMMIT RETAIN (the runner's kind of commit). The runner's own waits (1000 ms at
// its start, 2000 ms per package) are left out: its platform's Sleep does nothing. The
// exit status is 0 when the runner executes at least as many statements per second as
// the faster of the two isql-fb runs.

#include "app/UnPrincipal.h"
#include "database/ConexaoBanco.h"
#include "database/ConsultaSql.h"
#include "database/PacoteSql.h"
#include "database/StatusFirebird.h"
#include "database/TransacaoBanco.h"
#include "platform/Ansi.h"
#include "platform/PlatformWrapper.h"
#include "platform/PosixPlatform.h"

#include <QApplication>
#include <QByteArray>
#include <QString>

#include <firebird/Interface.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The machine's platform without the program's fixed waits.
class PlataformaSemEsperas : public orvalis::PlatformWrapper {
  public:
    using PlatformWrapper::PlatformWrapper;
    void Sleep(uint32_t) override {}
};

[[noreturn]] void Falhar(const std::string& texto) {
    std::fprintf(stderr, "bench_pacotes_isql: %s\n", texto.c_str());
    std::exit(2);
}

void Verificar(orvalis::StatusFirebird& status) {
    try {
        status.Verificar();
    } catch (const std::exception& erro) {
        Falhar(erro.what());
    }
}

// A fresh database with the table the statements fill, written with the engine's
// defaults (synchronous writes on).
void CriarBanco(const std::string& arquivo) {
    orvalis::StatusFirebird status;
    Firebird::IXpbBuilder* bloco =
        orvalis::StatusFirebird::Mestre()->getUtilInterface()->getXpbBuilder(
            status.get(), Firebird::IXpbBuilder::DPB, nullptr, 0);
    bloco->insertString(status.get(), isc_dpb_user_name, "SYSDBA");
    bloco->insertInt(status.get(), isc_dpb_set_db_sql_dialect, 3);
    bloco->insertString(status.get(), isc_dpb_set_db_charset, "WIN1252");
    Verificar(status);
    Firebird::IProvider* provedor = orvalis::StatusFirebird::Mestre()->getDispatcher();
    Firebird::IAttachment* anexo = provedor->createDatabase(status.get(), arquivo.c_str(),
                                                            bloco->getBufferLength(status.get()),
                                                            bloco->getBuffer(status.get()));
    Verificar(status);
    const char* ddl = "create table t (id integer not null primary key, texto varchar(40))";
    Firebird::ITransaction* transacao = anexo->startTransaction(status.get(), 0, nullptr);
    anexo->execute(status.get(), transacao, 0, ddl, 3, nullptr, nullptr, nullptr, nullptr);
    transacao->commit(status.get());
    anexo->detach(status.get());
    Verificar(status);
    bloco->dispose();
    provedor->release();
}

std::string Instrucao(int i) {
    return "insert into t (id, texto) values (" + std::to_string(i) + ", 'linha número " +
           std::to_string(i) + "')";
}

double ExecutarIsql(const std::string& banco, const std::string& script) {
    std::string programa = "isql-fb";
    std::string silencioso = "-q", usuario = "-user", sysdba = "SYSDBA", entrada = "-i";
    std::string caminhoScript = script, caminhoBanco = banco;
    char* argumentos[] = {programa.data(), silencioso.data(),    usuario.data(),      sysdba.data(),
                          entrada.data(),  caminhoScript.data(), caminhoBanco.data(), nullptr};
    const auto inicio = Clock::now();
    pid_t processo = 0;
    if (posix_spawnp(&processo, programa.c_str(), nullptr, nullptr, argumentos, environ) != 0) {
        Falhar("cannot start isql-fb");
    }
    int situacao = 0;
    waitpid(processo, &situacao, 0);
    const std::chrono::duration<double> duracao = Clock::now() - inicio;
    if (!WIFEXITED(situacao) || WEXITSTATUS(situacao) != 0) Falhar("isql-fb failed");
    return duracao.count();
}

int Linhas(orvalis::Platform& plataforma, const QString& banco) {
    orvalis::ConexaoBanco conexao(plataforma);
    orvalis::TransacaoBanco transacao(conexao);
    orvalis::ConsultaSql consulta(conexao, transacao);
    conexao.DefinirBanco(banco);
    conexao.Conectar();
    consulta.Executar("select count(*) from t");
    return consulta.ComoInteiro("count");
}

}  // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const int quantidade = argc > 1 ? std::atoi(argv[1]) : 20000;
    const fs::path base = argc > 2 ? fs::path(argv[2]) : fs::temp_directory_path();
    if (quantidade <= 0) Falhar("usage: bench_pacotes_isql [statements [folder]]");
    QApplication aplicacao(argc, argv);

    const fs::path pasta = base / ("bench-pacotes-" + std::to_string(getpid()));
    fs::create_directories(pasta / "mestre" / "tmp");
    fs::create_directories(pasta / "Dados");
    const fs::path modelo = pasta / "modelo.fdb";
    CriarBanco(modelo.string());
    fs::copy_file(modelo, pasta / "isql-commit.fdb");
    fs::copy_file(modelo, pasta / "isql-retain.fdb");
    fs::copy_file(modelo, pasta / "Dados" / "OLD_RIVELOBASE.FDB");

    orvalis::PosixPlatform posix(QString::fromStdString("C=" + pasta.string()));
    PlataformaSemEsperas plataforma(posix);

    // The same statements, as a package and as an isql script.
    {
        std::ofstream commit(pasta / "commit.sql", std::ios::binary);
        std::ofstream retain(pasta / "retain.sql", std::ios::binary);
        QByteArray pacote;
        for (int i = 1; i <= quantidade; ++i) {
            const QByteArray instrucao = orvalis::ToAnsi(QString::fromStdString(Instrucao(i)));
            commit << instrucao.toStdString() << ";\ncommit;\n";
            retain << instrucao.toStdString() << ";\ncommit retain;\n";
            pacote += instrucao + ";;\r\n";
        }
        if (!plataforma.WriteFile(orvalis::CaminhoPacote("C:\\mestre", 1), pacote)) {
            Falhar("cannot write the package");
        }
    }

    const double segundosCommit =
        ExecutarIsql((pasta / "isql-commit.fdb").string(), (pasta / "commit.sql").string());
    const double segundosRetain =
        ExecutarIsql((pasta / "isql-retain.fdb").string(), (pasta / "retain.sql").string());

    double segundosPacotes = 0;
    {
        orvalis::TfrmPrincipal janela(plataforma);
        janela.itDiretorioPastaMestre = "C:\\mestre";
        janela.lcScriptRodado = 0;
        janela.IBDatabase1->DefinirBanco("C:\\Dados\\OLD_RIVELOBASE.FDB");
        janela.IBDatabase1->Conectar();
        const auto inicio = Clock::now();
        janela.Fase5ExecutarPacotes();
        const std::chrono::duration<double> duracao = Clock::now() - inicio;
        segundosPacotes = duracao.count();
        if (!janela.itbancoAtualizado || janela.lcScriptRodado != 1) {
            Falhar("the runner failed: " + janela.LinhasLog().join(" | ").toStdString());
        }
        janela.IBDatabase1->Desconectar();
    }

    for (const char* banco :
         {"C:\\isql-commit.fdb", "C:\\isql-retain.fdb", "C:\\Dados\\OLD_RIVELOBASE.FDB"}) {
        if (Linhas(plataforma, banco) != quantidade)
            Falhar(std::string("rows missing in ") + banco);
    }
    fs::remove_all(pasta);

    const double taxaCommit = quantidade / segundosCommit;
    const double taxaRetain = quantidade / segundosRetain;
    const double taxaPacotes = quantidade / segundosPacotes;
    const auto linha = [quantidade](const char* nome, double segundos, double taxa) {
        std::printf("%-26s %6d statements %8.2f s %8.0f statements/s\n", nome, quantidade, segundos,
                    taxa);
    };
    linha("isql-fb, COMMIT", segundosCommit, taxaCommit);
    linha("isql-fb, COMMIT RETAIN", segundosRetain, taxaRetain);
    linha("package runner", segundosPacotes, taxaPacotes);
    std::printf("runner / isql-fb COMMIT:        %.2f\n", taxaPacotes / taxaCommit);
    std::printf("runner / isql-fb COMMIT RETAIN: %.2f\n", taxaPacotes / taxaRetain);
    std::printf("target: runner / the faster isql-fb >= 1.00\n");
    return taxaPacotes >= std::max(taxaCommit, taxaRetain) ? 0 : 1;
}
