#include "app/PaginasDoPrograma.h"

#include <QKeyEvent>

namespace orvalis {

void PaginasDoPrograma::keyPressEvent(QKeyEvent* event) {
    const bool controle = event->modifiers().testFlag(Qt::ControlModifier);
    const int tecla = event->key();
    if (controle && (tecla == Qt::Key_Tab || tecla == Qt::Key_Backtab || tecla == Qt::Key_PageUp ||
                     tecla == Qt::Key_PageDown)) {
        event->accept();
        return;
    }
    QTabWidget::keyPressEvent(event);
}

}  // namespace orvalis
