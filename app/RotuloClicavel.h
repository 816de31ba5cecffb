#pragma once

#include <QLabel>

class QMouseEvent;

namespace orvalis {

// A label that reports a left click on itself (the release-notes link).
class RotuloClicavel : public QLabel {
    Q_OBJECT

  public:
    explicit RotuloClicavel(const QString& texto, QWidget* parent = nullptr);

  signals:
    void clicado();

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

}  // namespace orvalis
