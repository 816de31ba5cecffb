#include "tests/support/ServidorCorreio.h"

#include "tests/support/AutoridadeTeste.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QThread>

#include <netdb.h>
#include <sys/socket.h>

#include <cstdlib>
#include <stdexcept>
#include <string>

namespace orvalis::teste {

namespace {

// Debian's interpreter: the one on the PATH may not see python3-aiosmtpd.
const QString kPython = QStringLiteral("/usr/bin/python3");

QString PastaServidores() {
    return ServidorCorreio::ArquivoFonte(QStringLiteral("tests/servers"));
}

QByteArray LerArquivo(const QString& caminho) {
    QFile arquivo(caminho);
    if (!arquivo.open(QIODevice::ReadOnly)) return {};
    return arquivo.readAll();
}

}  // namespace

ServidorCorreio::ServidorCorreio(Tipo tipo, const QJsonObject& configuracao)
    : pasta_(QDir::tempPath() + QStringLiteral("/orvalis-correio.XXXXXX")) {
    if (!pasta_.isValid()) throw std::runtime_error("server state folder not created");
    QFile arquivo(pasta_.filePath(QStringLiteral("configuracao.json")));
    if (!arquivo.open(QIODevice::WriteOnly) ||
        arquivo.write(QJsonDocument(configuracao).toJson()) < 0) {
        throw std::runtime_error("server configuration not written");
    }
    arquivo.close();

    const QString script = tipo == Tipo::Smtp ? QStringLiteral("smtp_servidor.py")
                                              : QStringLiteral("pop3_servidor.py");
    const QString nome = tipo == Tipo::Smtp ? QStringLiteral("smtp") : QStringLiteral("pop3");
    processo_.setProcessChannelMode(QProcess::ForwardedChannels);
    processo_.start(kPython, {PastaServidores() + QLatin1Char('/') + script, pasta_.path()});
    if (!processo_.waitForStarted(10000)) {
        throw std::runtime_error("could not start " + script.toStdString());
    }
    const QString pronto = pasta_.filePath(QStringLiteral("pronto.json"));
    QDeadlineTimer prazo(15000);
    while (!QFile::exists(pronto)) {
        if (processo_.state() == QProcess::NotRunning || prazo.hasExpired()) {
            processo_.kill();
            processo_.waitForFinished(5000);
            throw std::runtime_error(script.toStdString() + " did not become ready");
        }
        QThread::msleep(20);
    }
    porta_ = QJsonDocument::fromJson(LerArquivo(pronto)).object().value(nome).toInt();
}

ServidorCorreio::~ServidorCorreio() {
    if (processo_.state() == QProcess::NotRunning) return;
    processo_.terminate();
    if (!processo_.waitForFinished(5000)) {
        processo_.kill();
        processo_.waitForFinished(5000);
    }
}

QList<QJsonObject> ServidorCorreio::Registro() const {
    QList<QJsonObject> eventos;
    const QByteArray texto = LerArquivo(pasta_.filePath(QStringLiteral("registro.jsonl")));
    for (const QByteArray& linha : texto.split('\n')) {
        if (!linha.isEmpty()) eventos << QJsonDocument::fromJson(linha).object();
    }
    return eventos;
}

QString ServidorCorreio::Certificados() {
    AutoridadeTeste::Confiar();
    return AutoridadeTeste::Pasta();
}

QString ServidorCorreio::ArquivoFonte(const QString& relativo) {
    QString raiz = QString::fromLocal8Bit(qgetenv("ORVALIS_SOURCE_DIR"));
    if (raiz.isEmpty()) {
        // This file is tests/mail/ServidorCorreio.cpp of the tree.
        QDir pasta = QFileInfo(QStringLiteral(__FILE__)).absoluteDir();
        pasta.cd(QStringLiteral("../.."));
        raiz = pasta.absolutePath();
    }
    return raiz + QLatin1Char('/') + relativo;
}

bool ServidorCorreio::Resolve(const QString& host) {
    addrinfo pedido{};
    pedido.ai_family = AF_INET;
    pedido.ai_socktype = SOCK_STREAM;
    addrinfo* resultado = nullptr;
    if (getaddrinfo(host.toUtf8().constData(), nullptr, &pedido, &resultado) != 0) return false;
    freeaddrinfo(resultado);
    return true;
}

}  // namespace orvalis::teste
