#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

namespace orvalis {

// The report e-mail's message (IdMessage1): one plain-text message without
// attachments or MIME parts, and the text that the SMTP transfer carries for it.
//
// Its fields are set before each sending; Limpar() empties them. Texto() writes
//   From, To, Subject, Date, MIME-Version: 1.0,
//   Content-Type: text/plain; charset=UTF-8, Content-Transfer-Encoding: quoted-printable
// then an empty line and the body lines in quoted-printable UTF-8, every line ended by
// CR LF. Every accented letter of a name, the subject or the body arrives intact. No
// field can add a header line: a line break in the subject or in a display name becomes
// a blank, and addresses never hold one (see LerListaEnderecos).
class MensagemEmail {
  public:
    struct Endereco {
        QString endereco;  // the mailbox, "user@host"
        QString nome;      // the display name; empty for none
    };

    Endereco remetente;
    QList<Endereco> destinatarios;
    QString assunto;
    QDateTime data;
    // The body, one entry per line, without line ends.
    QStringList corpo;

    void Limpar();

    // The addresses of an address list, in its order. ";", "," and line breaks (CR, LF)
    // separate them; each part loses its surrounding blanks, and empty parts are
    // dropped. A part "Nome <usuario@host>" gives that address with that display name
    // (quotes around the name removed); any other part is an address as it stands.
    static QList<Endereco> LerListaEnderecos(const QString& lista);

    // The message as it follows "DATA" (before the transfer's dot-stuffing), ending with
    // CR LF.
    QByteArray Texto() const;
};

}  // namespace orvalis
