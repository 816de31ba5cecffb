#include "app/RotuloClicavel.h"

#include <QMouseEvent>

namespace orvalis {

RotuloClicavel::RotuloClicavel(const QString& texto, QWidget* parent) : QLabel(texto, parent) {
    setCursor(Qt::PointingHandCursor);
}

void RotuloClicavel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        emit clicado();
    }
    QLabel::mouseReleaseEvent(event);
}

}  // namespace orvalis
