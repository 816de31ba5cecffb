#pragma once

namespace orvalis {

class TfrmPrincipal;
struct Endpoints;

// TfrmPrincipal::EnviarEmailLog with the mail host, ports and accounts of `fornecedor`
// in place of the endpoints in force (Endpoints::Atuais()), which the method uses.
//
// Logs four lines, then, over the window's IdSMTP1, IdPOP31, IdMessage1 and
// IdSSLIOHandlerSocketOpenSSL1: connects to SMTP over implicit TLS (greeting, EHLO or
// HELO), logs in to the mailbox over POP3 while SMTP is open, extends
// janela.CorpoEmail with the log and the outcome block, authenticates with AUTH LOGIN
// when the EHLO reply offers it, and sends the report to the support mailbox and to
// janela.EmailCliente; logs "   - OK" when it was accepted. Both connections end
// however it ends (SMTP first).
//
// Raises ErroOrvalis only when the SMTP connection could not be made. A refused POP3
// login shows its text in a message box and returns; a failed sending returns quietly.
void EnviarEmailLog(TfrmPrincipal& janela, const Endpoints& fornecedor);

}  // namespace orvalis
