#pragma once

#include <QTabWidget>

namespace orvalis {

// A page control whose pages only the program switches: the keys that switch the pages
// of a tab widget (Ctrl+Tab, Ctrl+Shift+Tab, Ctrl+PgUp, Ctrl+PgDn) do nothing here. A
// page control inside one of its pages keeps its own keys: they reach it first.
class PaginasDoPrograma : public QTabWidget {
    Q_OBJECT

  public:
    using QTabWidget::QTabWidget;

  protected:
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace orvalis
