#include "app/RotuloQuebraLinha.h"

#include <QPainter>
#include <QStyle>

namespace orvalis {

namespace {

// The text as it is drawn.
QString TextoExibido(const QString& texto) {
    QString exibido = texto;
    exibido.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    exibido.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return exibido;
}

}  // namespace

void RotuloQuebraLinha::paintEvent(QPaintEvent* event) {
    if (!text().contains(QLatin1Char('\r'))) {
        QLabel::paintEvent(event);
        return;
    }
    // Drawn as the label draws plain text, from the text with its breaks made visible.
    QPainter pintor(this);
    const int opcoes = static_cast<int>(QStyle::visualAlignment(layoutDirection(), alignment())) |
                       (wordWrap() ? static_cast<int>(Qt::TextWordWrap) : 0);
    style()->drawItemText(&pintor, contentsRect(), opcoes, palette(), isEnabled(),
                          TextoExibido(text()), foregroundRole());
}

}  // namespace orvalis
