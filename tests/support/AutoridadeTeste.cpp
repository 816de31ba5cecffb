#include "tests/support/AutoridadeTeste.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdlib>
#include <stdexcept>

namespace orvalis::teste {

QString AutoridadeTeste::Pasta() {
    static QTemporaryDir pasta(QDir::tempPath() + QStringLiteral("/orvalis-ca.XXXXXX"));
    static const bool feita = [] {
        if (!pasta.isValid()) return false;
        const QString fonte = QString::fromLocal8Bit(qgetenv("ORVALIS_SOURCE_DIR"));
        QProcess gerador;
        gerador.setProcessChannelMode(QProcess::MergedChannels);
        // Debian's interpreter: the one on the PATH may not have python3-cryptography.
        gerador.start(QStringLiteral("/usr/bin/python3"),
                      {fonte + QStringLiteral("/tests/servers/certificados.py"), pasta.path(),
                       QStringLiteral("arquivos.orvalis.test"), QStringLiteral("www.orvalis.test"),
                       QStringLiteral("mail.orvalis.test")});
        if (!gerador.waitForFinished(60000) || gerador.exitCode() != 0) {
            throw std::runtime_error("certificados.py failed: " + gerador.readAll().toStdString());
        }
        return true;
    }();
    if (!feita) throw std::runtime_error("no folder for the test certificates");
    return pasta.path();
}

QString AutoridadeTeste::ArquivoCa() {
    return Pasta() + QStringLiteral("/ca.pem");
}

void AutoridadeTeste::Confiar() {
    setenv("SSL_CERT_FILE", QFile::encodeName(ArquivoCa()).constData(), 1);
}

}  // namespace orvalis::teste
