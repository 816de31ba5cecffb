// The updater's entry: one application, one window, the event loop.
#include "app/UnPrincipal.h"
#include "platform/Platform.h"

#include <QApplication>

#include <clocale>

int main(int argc, char** argv) {
    // The log stamps use the machine's regional date and time formats.
    std::setlocale(LC_TIME, "");
    QApplication aplicacao(argc, argv);
    aplicacao.setApplicationName(QStringLiteral("orvalisAtualizador"));
    // The window's own close rule ends the program; closing it must not end the loop
    // behind the rule's back.
    aplicacao.setQuitOnLastWindowClosed(false);

    orvalis::TfrmPrincipal frmPrincipal(orvalis::Platform::Default());
    frmPrincipal.show();
    return aplicacao.exec();
}
