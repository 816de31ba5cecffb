#include "tests/support/ServidoresLocais.h"

#include "tests/support/AutoridadeTeste.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdlib>
#include <stdexcept>

namespace orvalis::teste {

namespace {

const QString kPython = QStringLiteral("/usr/bin/python3");
constexpr int kEsperaPronto = 20000;

QString PastaServidores() {
    const QByteArray fonte = qgetenv("ORVALIS_SOURCE_DIR");
    if (!fonte.isEmpty()) return QString::fromLocal8Bit(fonte) + QStringLiteral("/tests/servers");
    // Run by hand, outside ctest: the scripts lie beside this file's folder.
    return QFileInfo(QStringLiteral(__FILE__)).absolutePath() + QStringLiteral("/../servers");
}

[[noreturn]] void Erro(const QString& texto) {
    throw std::runtime_error(texto.toStdString());
}

QString LerTexto(const QString& caminho) {
    QFile arquivo(caminho);
    if (!arquivo.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(arquivo.readAll());
}

// By rename, so that a server reading its configuration never sees half a file.
void GravarJson(const QString& caminho, const QJsonObject& objeto) {
    const QString temporario = caminho + QStringLiteral(".tmp");
    QFile arquivo(temporario);
    if (!arquivo.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        arquivo.write(QJsonDocument(objeto).toJson()) < 0) {
        Erro(QStringLiteral("cannot write ") + temporario);
    }
    arquivo.close();
    if (std::rename(QFile::encodeName(temporario).constData(),
                    QFile::encodeName(caminho).constData()) != 0) {
        Erro(QStringLiteral("cannot rename ") + temporario);
    }
}

QString PastaCertificados() {
    return AutoridadeTeste::Pasta();
}

}  // namespace

struct ServidoresLocais::Processo {
    QString pasta;
    std::unique_ptr<QProcess> processo;
    QJsonObject portas;
};

ServidoresLocais::ServidoresLocais()
    : pasta_(QDir::tempPath() + QStringLiteral("/orvalis-servidores.XXXXXX")) {
    if (!pasta_.isValid()) Erro(QStringLiteral("no folder for the test servers"));
    QDir(pasta_.path()).mkpath(QStringLiteral("arquivos"));
}

ServidoresLocais::~ServidoresLocais() {
    if (web_ != nullptr) Parar(*web_);
    if (ftp_ != nullptr) Parar(*ftp_);
    if (dns_ != nullptr) Parar(*dns_);
}

void ServidoresLocais::IniciarWeb(const QJsonObject& falhas) {
    if (web_ != nullptr) Erro(QStringLiteral("the web server is already running"));
    QJsonObject configuracao = falhas;
    configuracao[QStringLiteral("certificados")] = PastaCertificados();
    configuracao[QStringLiteral("pasta")] = PastaArquivos();
    web_ = std::make_unique<Processo>();
    web_->pasta = pasta_.path() + QStringLiteral("/web");
    Iniciar(*web_, QStringLiteral("servidor_web.py"), configuracao);
}

void ServidoresLocais::DefinirFalhasWeb(const QJsonObject& falhas) {
    if (web_ == nullptr) Erro(QStringLiteral("the web server is not running"));
    QJsonObject configuracao = falhas;
    configuracao[QStringLiteral("certificados")] = PastaCertificados();
    configuracao[QStringLiteral("pasta")] = PastaArquivos();
    GravarJson(web_->pasta + QStringLiteral("/configuracao.json"), configuracao);
}

void ServidoresLocais::IniciarFtp(const QJsonObject& configuracao) {
    if (ftp_ != nullptr) Erro(QStringLiteral("the FTP server is already running"));
    QJsonObject completa = configuracao;
    if (!completa.contains(QStringLiteral("usuarios"))) {
        const Endpoints fornecedor = Fornecedor();
        completa[QStringLiteral("usuarios")] =
            QJsonObject{{fornecedor.ftpUsuarioArquivos, fornecedor.ftpSenha},
                        {fornecedor.ftpUsuarioSite, fornecedor.ftpSenha}};
    }
    ftp_ = std::make_unique<Processo>();
    ftp_->pasta = pasta_.path() + QStringLiteral("/ftp");
    Iniciar(*ftp_, QStringLiteral("servidor_ftp.py"), completa);
}

QString ServidoresLocais::IniciarDns(const QJsonObject& configuracao) {
    if (dns_ != nullptr) Erro(QStringLiteral("the name server is already running"));
    QJsonObject completa = configuracao;
    const quint32 sorteio = QRandomGenerator::global()->bounded(1u, 65000u);
    const QString endereco =
        QStringLiteral("127.53.%1.%2").arg(sorteio / 254).arg(sorteio % 254 + 1);
    completa[QStringLiteral("endereco")] = endereco;
    dns_ = std::make_unique<Processo>();
    dns_->pasta = pasta_.path() + QStringLiteral("/dns");
    Iniciar(*dns_, QStringLiteral("servidor_dns.py"), completa);
    return endereco;
}

void ServidoresLocais::Iniciar(Processo& processo, const QString& script,
                               const QJsonObject& configuracao) {
    QDir().mkpath(processo.pasta);
    GravarJson(processo.pasta + QStringLiteral("/configuracao.json"), configuracao);
    processo.processo = std::make_unique<QProcess>();
    processo.processo->setStandardOutputFile(processo.pasta + QStringLiteral("/saida.log"));
    processo.processo->setStandardErrorFile(processo.pasta + QStringLiteral("/erros.log"));
    processo.processo->start(kPython,
                             {PastaServidores() + QLatin1Char('/') + script, processo.pasta});
    if (!processo.processo->waitForStarted(kEsperaPronto)) {
        Erro(script + QStringLiteral(" did not start: ") + processo.processo->errorString());
    }
    const QString pronto = processo.pasta + QStringLiteral("/pronto.json");
    const bool ficouPronto = Aguardar(
        [&] { return QFile::exists(pronto) || processo.processo->state() == QProcess::NotRunning; },
        std::chrono::milliseconds(kEsperaPronto));
    if (!ficouPronto || !QFile::exists(pronto)) {
        Parar(processo);
        Erro(script + QStringLiteral(" is not ready: ") +
             LerTexto(processo.pasta + QStringLiteral("/erros.log")));
    }
    processo.portas = QJsonDocument::fromJson(LerTexto(pronto).toUtf8()).object();
}

void ServidoresLocais::Parar(Processo& processo) {
    if (processo.processo == nullptr) return;
    if (processo.processo->state() != QProcess::NotRunning) {
        processo.processo->terminate();
        if (!processo.processo->waitForFinished(5000)) {
            processo.processo->kill();
            processo.processo->waitForFinished(5000);
        }
    }
    processo.processo.reset();
}

int ServidoresLocais::Porta(const QString& servidor) const {
    for (const auto* processo : {web_.get(), ftp_.get()}) {
        if (processo != nullptr && processo->portas.contains(servidor)) {
            return processo->portas.value(servidor).toInt();
        }
    }
    return 1;
}

QString ServidoresLocais::PastaArquivos() const {
    return pasta_.path() + QStringLiteral("/arquivos");
}

Endpoints ServidoresLocais::Fornecedor() const {
    Endpoints fornecedor = Endpoints::Constantes();
    fornecedor.urlArquivos =
        QStringLiteral("https://arquivos.orvalis.test:%1").arg(Porta(QStringLiteral("arquivos")));
    fornecedor.urlSite =
        QStringLiteral("https://www.orvalis.test:%1").arg(Porta(QStringLiteral("site")));
    fornecedor.urlSiteHttp =
        QStringLiteral("http://www.orvalis.test:%1").arg(Porta(QStringLiteral("site_http")));
    fornecedor.ftpHost = QStringLiteral("ftp.orvalis.test");
    fornecedor.ftpPorta = Porta(QStringLiteral("ftp"));
    fornecedor.ftpUsuarioArquivos = QStringLiteral("atualizacao@arquivos.orvalis.test");
    fornecedor.ftpUsuarioSite = QStringLiteral("atualizacao@orvalis.test");
    // The test vendor signs nothing unless a test says so, whatever key the build holds.
    fornecedor.chavePublica.clear();
    return fornecedor;
}

QList<QJsonObject> ServidoresLocais::LerRegistro(const Processo& processo) {
    QList<QJsonObject> eventos;
    QFile arquivo(processo.pasta + QStringLiteral("/registro.jsonl"));
    if (!arquivo.open(QIODevice::ReadOnly)) return eventos;
    for (const QByteArray& linha : arquivo.readAll().split('\n')) {
        // A line still being written has no line break yet and is left for later.
        if (linha.isEmpty()) continue;
        const QJsonDocument documento = QJsonDocument::fromJson(linha);
        if (documento.isObject()) eventos.append(documento.object());
    }
    return eventos;
}

QList<QJsonObject> ServidoresLocais::RegistroWeb() const {
    return web_ != nullptr ? LerRegistro(*web_) : QList<QJsonObject>{};
}

QList<QJsonObject> ServidoresLocais::RegistroFtp() const {
    return ftp_ != nullptr ? LerRegistro(*ftp_) : QList<QJsonObject>{};
}

QList<QJsonObject> ServidoresLocais::RegistroDns() const {
    return dns_ != nullptr ? LerRegistro(*dns_) : QList<QJsonObject>{};
}

QList<QJsonObject> ServidoresLocais::Eventos(const QString& servidor, const QString& evento) const {
    QList<QJsonObject> escolhidos;
    for (const QJsonObject& registro : RegistroWeb()) {
        if (registro.value(QStringLiteral("servidor")).toString() == servidor &&
            registro.value(QStringLiteral("evento")).toString() == evento) {
            escolhidos.append(registro);
        }
    }
    return escolhidos;
}

QStringList ServidoresLocais::ComandosFtp() const {
    QStringList linhas;
    for (const QJsonObject& registro : RegistroFtp()) {
        if (registro.value(QStringLiteral("evento")).toString() == QLatin1String("comando")) {
            linhas.append(registro.value(QStringLiteral("linha")).toString());
        }
    }
    return linhas;
}

bool ServidoresLocais::Aguardar(const std::function<bool()>& condicao,
                                std::chrono::milliseconds limite) {
    const auto fim = std::chrono::steady_clock::now() + limite;
    for (;;) {
        if (condicao()) return true;
        if (std::chrono::steady_clock::now() >= fim) return false;
        QThread::msleep(10);
    }
}

QString ServidoresLocais::ArquivoAutoridade() {
    return AutoridadeTeste::ArquivoCa();
}

void ServidoresLocais::ConfiarNaAutoridade() {
    AutoridadeTeste::Confiar();
}

bool ServidoresLocais::NomesDeTesteResolvem() {
    for (const char* nome : {"arquivos.orvalis.test", "www.orvalis.test", "ftp.orvalis.test"}) {
        addrinfo dica{};
        dica.ai_family = AF_INET;
        dica.ai_socktype = SOCK_STREAM;
        addrinfo* resultado = nullptr;
        if (getaddrinfo(nome, nullptr, &dica, &resultado) != 0) return false;
        const auto* endereco = reinterpret_cast<const sockaddr_in*>(resultado->ai_addr);
        const bool local = endereco->sin_addr.s_addr == htonl(INADDR_LOOPBACK);
        freeaddrinfo(resultado);
        if (!local) return false;
    }
    return true;
}

}  // namespace orvalis::teste
