#include "app/IndicadorAndamento.h"

#include <QLabel>
#include <QProgressBar>

#include <cmath>

namespace orvalis {

namespace {

constexpr uint64_t kIntervaloMinimoMs = 100;
constexpr int kEscalaBarra = 1000;

QString ComVirgula(double valor) {
    return QString::number(valor, 'f', 1).replace(QLatin1Char('.'), QLatin1Char(','));
}

QString TempoRestante(int64_t segundos) {
    if (segundos < 60) return QStringLiteral("%1 s").arg(segundos);
    if (segundos < 3600) {
        return QStringLiteral("%1 min %2 s")
            .arg(segundos / 60)
            .arg(segundos % 60, 2, 10, QLatin1Char('0'));
    }
    return QStringLiteral("%1 h %2 min")
        .arg(segundos / 3600)
        .arg((segundos % 3600) / 60, 2, 10, QLatin1Char('0'));
}

}  // namespace

IndicadorAndamento::IndicadorAndamento(Platform& plataforma, QProgressBar* barra, QLabel* linha)
    : plataforma_(plataforma), barra_(barra), linha_(linha) {}

QString IndicadorAndamento::Tamanho(double bytes) {
    constexpr double kKB = 1024.0;
    if (bytes < kKB * kKB) return ComVirgula(bytes / kKB) + QStringLiteral(" KB");
    if (bytes < kKB * kKB * kKB) return ComVirgula(bytes / (kKB * kKB)) + QStringLiteral(" MB");
    return ComVirgula(bytes / (kKB * kKB * kKB)) + QStringLiteral(" GB");
}

QString IndicadorAndamento::Texto(const QString& acao, int64_t feitos, int64_t total,
                                  int64_t decorridoMs) {
    QString texto = acao + QStringLiteral(": ") + Tamanho(static_cast<double>(feitos));
    if (total >= 0) texto += QStringLiteral(" de ") + Tamanho(static_cast<double>(total));
    // A rate and an estimate from less than a second of work would only jump about.
    if (decorridoMs < 1000 || feitos <= 0) return texto;
    const double taxa = static_cast<double>(feitos) * 1000.0 / static_cast<double>(decorridoMs);
    texto += QStringLiteral(", ") + Tamanho(taxa) + QStringLiteral("/s");
    if (total > feitos) {
        const auto restante =
            static_cast<int64_t>(std::ceil(static_cast<double>(total - feitos) / taxa));
        texto += QStringLiteral(", restam ") + TempoRestante(restante);
    }
    return texto;
}

void IndicadorAndamento::Iniciar(const QString& acao) {
    acao_ = acao;
    ativo_ = true;
    informado_ = false;
    inicio_ = plataforma_.GetTickCount64();
    barra_->setRange(0, kEscalaBarra);
    barra_->setValue(0);
    linha_->setText(acao);
    barra_->show();
    linha_->show();
    barra_->repaint();
    linha_->repaint();
}

bool IndicadorAndamento::Informar(int64_t feitos, int64_t total) {
    if (!ativo_) return true;
    const bool ultimo = total >= 0 && feitos >= total;
    const uint64_t agora = plataforma_.GetTickCount64();
    if (informado_ && !ultimo && agora - ultimo_ < kIntervaloMinimoMs) return true;
    informado_ = true;
    ultimo_ = agora;
    if (total > 0) {
        barra_->setRange(0, kEscalaBarra);
        barra_->setValue(static_cast<int>(std::min<int64_t>(feitos, total) * kEscalaBarra / total));
    } else {
        barra_->setRange(0, 0);  // busy: the total is not known
    }
    linha_->setText(Texto(acao_, feitos, total, static_cast<int64_t>(agora - inicio_)));
    barra_->repaint();
    linha_->repaint();
    plataforma_.ProcessMessages();
    return true;
}

void IndicadorAndamento::Concluir() {
    ativo_ = false;
    barra_->hide();
    linha_->hide();
}

}  // namespace orvalis
