#include "tests/support/TelaVirtual.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QThread>

#include <stdexcept>

namespace orvalis::teste {

namespace {

void Parar(QProcess& processo) {
    if (processo.state() == QProcess::NotRunning) return;
    processo.terminate();
    if (!processo.waitForFinished(5000)) {
        processo.kill();
        processo.waitForFinished(5000);
    }
}

}  // namespace

TelaVirtual::TelaVirtual() {
    // Xvfb chooses a display number that no other X server holds and writes it on its
    // standard output once it accepts clients.
    servidor_ = std::make_unique<QProcess>();
    servidor_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    servidor_->start(QStringLiteral("Xvfb"),
                     {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                      QStringLiteral("0"), QStringLiteral("1024x768x24"),
                      QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    if (!servidor_->waitForStarted(5000)) {
        throw std::runtime_error("Xvfb cannot be started (is it installed?)");
    }
    QDeadlineTimer prazoTela(10000);
    while (!servidor_->canReadLine() && servidor_->state() == QProcess::Running &&
           !prazoTela.hasExpired()) {
        servidor_->waitForReadyRead(100);
    }
    const QString numero = QString::fromUtf8(servidor_->readLine()).trimmed();
    if (numero.isEmpty()) throw std::runtime_error("Xvfb did not open a display");
    display_ = QLatin1Char(':') + numero;

    gerenciador_ = std::make_unique<QProcess>();
    QProcessEnvironment ambiente = QProcessEnvironment::systemEnvironment();
    ambiente.insert(QStringLiteral("DISPLAY"), display_);
    gerenciador_->setProcessEnvironment(ambiente);
    gerenciador_->setStandardOutputFile(QProcess::nullDevice());
    gerenciador_->setStandardErrorFile(QProcess::nullDevice());
    gerenciador_->start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
    if (!gerenciador_->waitForStarted(5000)) {
        throw std::runtime_error("openbox cannot be started (is it installed?)");
    }
    // The window manager has taken the display once it names itself on the root window.
    QDeadlineTimer prazo(10000);
    while (!Executar(QStringLiteral("xprop"),
                     {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")})
                .contains(QStringLiteral("window id"))) {
        if (prazo.hasExpired() || gerenciador_->state() != QProcess::Running) {
            throw std::runtime_error("openbox did not take the display");
        }
        QThread::msleep(50);
    }
}

TelaVirtual::~TelaVirtual() {
    if (gerenciador_) Parar(*gerenciador_);
    if (servidor_) Parar(*servidor_);
}

QString TelaVirtual::Executar(const QString& programa, const QStringList& argumentos) const {
    QProcess cliente;
    QProcessEnvironment ambiente = QProcessEnvironment::systemEnvironment();
    ambiente.insert(QStringLiteral("DISPLAY"), display_);
    cliente.setProcessEnvironment(ambiente);
    cliente.start(programa, argumentos);
    if (!cliente.waitForFinished(10000) || cliente.exitStatus() != QProcess::NormalExit ||
        cliente.exitCode() != 0) {
        return QString();
    }
    return QString::fromUtf8(cliente.readAllStandardOutput());
}

QString TelaVirtual::Janela(const QString& titulo) const {
    const QString arvore =
        Executar(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")});
    for (const QString& linha : arvore.split(QLatin1Char('\n'))) {
        const QString marca = QLatin1Char('"') + titulo + QLatin1Char('"');
        if (linha.contains(marca)) return linha.trimmed().section(QLatin1Char(' '), 0, 0);
    }
    return QString();
}

int TelaVirtual::AlturaExterna(const QString& janela) const {
    static const QRegularExpression margens(QStringLiteral("= (\\d+), (\\d+), (\\d+), (\\d+)"));
    static const QRegularExpression altura(QStringLiteral("Height: (\\d+)"));
    const auto moldura =
        margens.match(Executar(QStringLiteral("xprop"), {QStringLiteral("-id"), janela,
                                                         QStringLiteral("_NET_FRAME_EXTENTS")}));
    const auto cliente =
        altura.match(Executar(QStringLiteral("xwininfo"), {QStringLiteral("-id"), janela}));
    if (!moldura.hasMatch() || !cliente.hasMatch()) return -1;
    return cliente.captured(1).toInt() + moldura.captured(3).toInt() + moldura.captured(4).toInt();
}

bool TelaVirtual::Capturar(const QString& arquivo) const {
    QProcess captura;
    QProcessEnvironment ambiente = QProcessEnvironment::systemEnvironment();
    ambiente.insert(QStringLiteral("DISPLAY"), display_);
    captura.setProcessEnvironment(ambiente);
    captura.start(QStringLiteral("import"),
                  {QStringLiteral("-window"), QStringLiteral("root"), arquivo});
    return captura.waitForFinished(20000) && captura.exitCode() == 0 && QFile::exists(arquivo);
}

}  // namespace orvalis::teste
