#include "net/CorpoEmail.h"

#include "update/Desfecho.h"

#include "net/Endpoints.h"

namespace orvalis {

namespace {

const QChar kCr(u'\r');

// The template's headings are padded with blanks to a fixed width, as the report has
// always shown them.
QString Preenchido(const QString& texto, qsizetype largura) {
    return texto.leftJustified(largura, QLatin1Char(' '));
}

}  // namespace

QString MontarCorpoEmail(const QString& empresa, const QString& cnpjCpf, const QString& contato,
                         const QString& fone, const QString& emailCliente, const QString& usuario,
                         const QString& tituloJanela, const QString& modulos,
                         const QString& versaoAnterior, const QString& versaoNova) {
    const QStringList linhas = {
        QStringLiteral(" Prezado Cliente,"),
        QString(),
        QStringLiteral(
            " Este e-mail foi gerado automaticamente pelo aplicativo orvalis Atualizador."),
        QStringLiteral(
            " Clique no link abaixo para consultar o conteúdo das últimas atualizações:"),
        QStringLiteral(" ") + Endpoints::Atuais().urlNotas +
            QStringLiteral("/search/label/Atualiza%C3%A7%C3%A3o"),
        Preenchido(QStringLiteral(" Verifique abaixo os detalhes da atualização do sistema "
                                  "feitas em seu servidor."),
                   102),
        QString(),
        Preenchido(QStringLiteral(" INFORMAÇÕES DO CLIENTE:"), 102),
        QStringLiteral(" Cliente: ") + empresa,
        QStringLiteral(" CNPJ: ") + cnpjCpf,
        QStringLiteral(" Pessoa: ") + contato,
        QStringLiteral(" Telefone: ") + fone,
        QStringLiteral(" E-mail: ") + emailCliente,
        QStringLiteral(" Usuário Logado: ") + usuario,
        QString(),
        Preenchido(QStringLiteral(" INFORMAÇÕES DO SISTEMA:"), 50),
        QStringLiteral(" ") + tituloJanela,
        QStringLiteral(" Sistema: orvalis Empresa "),
        QStringLiteral("Módulos: ") + modulos,
        QStringLiteral("Versão Anterior: ") + versaoAnterior,
        QStringLiteral("Nova Versão: ") + versaoNova,
    };
    return linhas.join(kCr);
}

QString BlocosAnexados(const QStringList& linhasLog, bool erro) {
    QString blocos = QString(kCr) + kCr + QStringLiteral("LOG DE EXECUÇÃO:") + kCr;
    for (const QString& linha : linhasLog) blocos += linha + QStringLiteral("\r\n");
    blocos += kCr;
    blocos += (erro ? LinhasFalha() : LinhasSucesso()).join(kCr);
    return blocos;
}

QStringList LinhasCorpo(const QString& corpo) {
    QStringList linhas;
    QString linha;
    qsizetype i = 0;
    while (i < corpo.size()) {
        const QChar c = corpo[i++];
        if (c != u'\r' && c != u'\n') {
            linha += c;
            continue;
        }
        if (c == u'\r' && i < corpo.size() && corpo[i] == u'\n') ++i;
        linhas << linha;
        linha.clear();
    }
    if (!linha.isEmpty()) linhas << linha;
    return linhas;
}

}  // namespace orvalis
