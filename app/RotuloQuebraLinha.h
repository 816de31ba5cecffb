#pragma once

#include <QLabel>

namespace orvalis {

// A word-wrapped label whose text may break its lines with a carriage return, as the
// program's status texts do: each CR (or CR LF) is drawn as a line break, where a plain
// label would draw a blank. The text itself, as text() gives it, stays as it was set.
class RotuloQuebraLinha : public QLabel {
    Q_OBJECT

  public:
    using QLabel::QLabel;

  protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace orvalis
