// The demonstration of a server update: lays out a server installation in a folder,
// starts the local stand-in of the vendor with a release signed by a throwaway key made
// for the run, runs the real updater in a window with the command line the ERP uses and
// that key in its vendor INI, and reports what the run left behind.
//
// Usage: orvalis_demonstracao PASTA EXECUTAVEL
#include "tests/support/BancoTeste.h"
#include "tests/support/FornecedorLocal.h"
#include "tests/support/InstalacaoTemporaria.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTextStream>
#include <QThread>

#include <cstdio>
#include <exception>
#include <string>

namespace {

using orvalis::teste::BancoTeste;
using orvalis::teste::FornecedorLocal;
using orvalis::teste::InstalacaoTemporaria;

void Escrever(const QString& caminho, const QByteArray& conteudo) {
    QDir().mkpath(QFileInfo(caminho).path());
    QFile arquivo(caminho);
    if (!arquivo.open(QIODevice::WriteOnly) || arquivo.write(conteudo) != conteudo.size()) {
        throw std::runtime_error("cannot write " + caminho.toStdString());
    }
}

QByteArray Ler(const QString& caminho) {
    QFile arquivo(caminho);
    return arquivo.open(QIODevice::ReadOnly) ? arquivo.readAll() : QByteArray();
}

// How many requests for the manifest's two files the vendor's web site answered.
int PedidosDoManifesto(FornecedorLocal& fornecedor) {
    int pedidos = 0;
    for (const QJsonObject& evento : fornecedor.web().RegistroWeb()) {
        if (evento["evento"].toString() == "pedido" &&
            evento["linha"].toString().contains("/orvalisLiberacao.")) {
            ++pedidos;
        }
    }
    return pedidos;
}

int Demonstrar(const QString& raiz, const QString& executavel) {
    QTextStream saida(stdout);
    const QString mestre = raiz + "/C/orvalis Empresa/Atualizador";
    const QString dados = raiz + "/C/orvalis Empresa/Dados";
    QDir(raiz).removeRecursively();
    QDir().mkpath(mestre);
    QDir().mkpath(dados);
    QDir().mkpath(raiz + "/D/orvalis Estacao");
    if (!QFile::copy(executavel, mestre + "/orvalisAtualizador.exe")) {
        throw std::runtime_error("cannot copy the updater into the master folder");
    }
    for (const char* nome : {"orvalisEmpresa.exe", "orvalisConectado.exe"}) {
        Escrever(mestre + "/" + nome,
                 QByteArray::fromStdString(FornecedorLocal::ConteudoExecutavel(nome, "2.7")));
    }
    BancoTeste::Criar((dados + "/Rivelobase.fdb").toStdString(), BancoTeste::Variante::kCompleta);

    FornecedorLocal fornecedor;
    fornecedor.PublicarLiberacao("2.8",
                                 {FornecedorLocal::Pacote121(), FornecedorLocal::Pacote122()});
    // Signed as orvalisPublicar signs; the updater gets the public key through the INI.
    const qsizetype pacotesAssinados = fornecedor.Assinar("2.8").pacotes().size();
    fornecedor.Iniciar("2.8.ERP");
    const QString ini = raiz + "/fornecedor.ini";
    fornecedor.GravarIni(ini);

    QProcessEnvironment ambiente = QProcessEnvironment::systemEnvironment();
    ambiente.insert("ORVALIS_UNIDADES", "C=" + raiz + "/C;D=" + raiz + "/D");
    ambiente.insert("ORVALIS_FORNECEDOR", ini);
    QProcess programa;
    programa.setProcessEnvironment(ambiente);
    programa.setWorkingDirectory(mestre);
    programa.setProcessChannelMode(QProcess::ForwardedChannels);
    const QStringList& argumentos = InstalacaoTemporaria::kArgumentosServidor;
    saida << "Instalação: " << raiz << " (C: e D: mapeados ali)\n"
          << "Liberação 2.8 assinada com uma chave descartável (" << pacotesAssinados
          << " pacotes no manifesto); chave pública do atualizador: "
          << fornecedor.Fornecedor().chavePublica << "\n"
          << "Linha de comando: orvalisAtualizador.exe " << argumentos.join(' ') << "\n"
          << "Atualizando (cerca de um minuto e meio: as esperas fazem parte do processo)...\n";
    saida.flush();
    programa.start(mestre + "/orvalisAtualizador.exe", argumentos);
    if (!programa.waitForStarted(10000)) throw std::runtime_error("the updater did not start");

    QDeadlineTimer prazo(300000);
    while (
        !(Ler(dados + "/Conectado.txt") == "ATUALIZAR\r\n" && !fornecedor.Mensagens().isEmpty())) {
        if (prazo.hasExpired() || programa.state() != QProcess::Running) {
            throw std::runtime_error("the run did not end as expected");
        }
        QThread::msleep(250);
    }
    // Leaves the final window on the screen for a moment, for a screenshot.
    if (const char* tela = std::getenv("ORVALIS_DEMO_CAPTURA")) {
        QThread::msleep(1500);
        QProcess::execute("import", {"-window", "root", QString::fromLocal8Bit(tela)});
    }
    // The window waits for its OK button; the demonstration is done with it.
    programa.kill();
    programa.waitForFinished(10000);

    const QJsonObject mensagem = fornecedor.Mensagens().first();
    const QString email = raiz + "/email-recebido.txt";
    Escrever(email, ("Assunto: " + mensagem["assunto"].toString() + "\nPara: " +
                     mensagem["para"].toString() + "\n\n" + mensagem["corpo"].toString())
                        .toUtf8());
    QString backup;
    for (const QString& nome :
         QDir(raiz + "/C/orvalis Empresa/Backup").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        backup = raiz + "/C/orvalis Empresa/Backup/" + nome;
    }
    // The run gives the file its live name in the letter case it writes.
    QString arquivoBanco = dados + "/Rivelobase.fdb";
    for (const QString& nome : QDir(dados).entryList(QDir::Files)) {
        if (nome.compare("Rivelobase.fdb", Qt::CaseInsensitive) == 0)
            arquivoBanco = dados + "/" + nome;
    }
    BancoTeste banco(arquivoBanco.toStdString());
    saida << "\nBanco de dados: " << arquivoBanco
          << " (SCRIPT_RODADO = " << banco.Valor("SELECT SCRIPT_RODADO FROM TAB_PARAMETRO")
          << ", VERSAO_ERP = " << banco.Valor("SELECT VERSAO_ERP FROM TAB_PARAMETRO") << ")\n"
          << "Backup da versão 2.7: " << backup << "\n"
          << "Manifesto e assinatura pedidos ao fornecedor: " << PedidosDoManifesto(fornecedor)
          << " (orvalisLiberacao.ini, orvalisLiberacao.sig)\n"
          << "E-mail recebido pelo suporte: " << email << "\n"
          << "  Assunto: " << mensagem["assunto"].toString() << "\n\n"
          << "Registro da atualização:\n";
    // One screen: the phase headers, the error lines and the closing block.
    const QStringList linhas =
        mensagem["corpo"].toString().split(QRegularExpression("\r\n|\r|\n"), Qt::SkipEmptyParts);
    const qsizetype inicio = linhas.indexOf("LOG DE EXECUÇÃO:");
    for (const QString& linha : linhas.mid(inicio + 1)) {
        // Log lines begin with their date stamp; the closing block that follows has none.
        const bool doLog = !linha.isEmpty() && linha[0].isDigit();
        if (!doLog || linha.contains(" FASE ") || linha.contains("Erro") ||
            linha.contains("assinatura")) {
            saida << "  " << linha << "\n";
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication aplicacao(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s FOLDER UPDATER\n", argv[0]);
        return 2;
    }
    try {
        return Demonstrar(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]));
    } catch (const std::exception& erro) {
        std::fprintf(stderr, "demonstration failed: %s\n", erro.what());
        return 1;
    }
}
