#pragma once

#include <QString>

#include <ostream>

// Qt's text in GoogleTest's failure messages, as UTF-8 rather than raw bytes.
inline void PrintTo(const QString& texto, std::ostream* saida) {
    *saida << '"' << texto.toStdString() << '"';
}
