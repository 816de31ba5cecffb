#include "app/Erros.h"
#include "app/UnPrincipal.h"
#include "database/CaminhoBanco.h"
#include "database/ConexaoBanco.h"
#include "database/ConsultaSql.h"
#include "database/TextoSql.h"
#include "net/CorpoEmail.h"
#include "platform/Platform.h"

#include <QPushButton>

#include <exception>
#include <utility>

namespace orvalis {

namespace {

QString Brancos(int quantidade) {
    return QString(quantidade, u' ');
}

// The module letters of the customer's licence, in the order they are tested.
const std::pair<const char16_t*, const char16_t*> kModulos[] = {
    {u"ATIVO_COMERCIO", u"A"},   {u"ATIVO_SERVICOS", u"B"},   {u"ATIVO_ESTOQUE", u"C"},
    {u"ATIVO_MONTAGEM", u"D"},   {u"ATIVO_FINANCEIRO", u"E"}, {u"ATIVO_CONTAS_CORRENTES", u"F"},
    {u"ATIVO_PRE_DATADO", u"G"},
};

QString ModulosAtivos(ConsultaSql& consulta) {
    QString modulos;
    for (const auto& [coluna, letra] : kModulos) {
        if (consulta.ComoTexto(QString::fromUtf16(coluna)) == u"S") {
            modulos += QString::fromUtf16(letra);
        }
    }
    return modulos;
}

}  // namespace

void TfrmPrincipal::Fase1Verificacoes() {
    IBDatabase1->Desconectar();
    AdicionarLog(QStringLiteral("   - Verificando se banco de dados está liberado."));
    const QString arquivoRetido =
        ArquivoNaPastaDe(itParametroCaminhoCompartilhadoBD, kNomeArquivoRetido);
    // From the rename on, a run cut off leaves the database where the ERP cannot find
    // it: the journal says where it is before it goes there. A rename that cannot
    // succeed (no live file, or a held file already there that is not this run's) needs
    // none, and must not make a recovery take that held file for this run's.
    // The run stops with the database under its live name and the retry button shown.
    const auto falhar = [this] {
        itDesconectouBanco = false;
        btRefresh->show();
        btAbortar->show();
        Abortar();
    };
    const bool podeRenomear = plataforma().FileExists(itParametroCaminhoCompartilhadoBD) &&
                              !plataforma().FileExists(arquivoRetido);
    if (podeRenomear && !GravarEtapa(DiarioAtualizacao::Etapa::kRetencao)) falhar();
    // The rename is the exclusive-access test: it is refused while anybody has the file
    // open, and once it succeeds nobody can open the database by its name.
    // Through to the disk: after a power cut the journal and the name agree.
    if (!plataforma().MoveFile(itParametroCaminhoCompartilhadoBD, arquivoRetido, true)) {
        AdicionarLog(QStringLiteral(
            "    - Erro: Existem outros usuários ou aplicativos na rede que estão conectados "
            "ao banco de dados do orvalis Empresa."));
        itDesconectouBanco = false;
        btRefresh->show();
        btAbortar->show();
        plataforma().Sleep(1000);
        plataforma().ProcessMessages();
        Abortar();
    }
    bancoRetidoPelaExecucao_ = true;
    AdicionarLog(QStringLiteral("   - OK"));
    itDesconectouBanco = true;
    IBDatabase1->Desconectar();

    try {
        IBDatabase1->DefinirBanco(ArquivoNaPastaDe(itParametroCaminhoBD, kNomeArquivoRetido));
        IBDatabase1->Conectar();
    } catch (const std::exception&) {
        plataforma().MoveFile(
            arquivoRetido, ArquivoNaPastaDe(itParametroCaminhoCompartilhadoBD, kNomeArquivoVivo));
        AdicionarLog(QStringLiteral("   - Erro na conexão com o Banco: ") + arquivoRetido);
        falhar();
    }

    VerificarScriptRodado();
    AdicionarLog(QStringLiteral("   - Testando versão atual do sistema"));
    if (lcScriptRodado >= 61) {
        AdicionarLog(QStringLiteral("   - OK"));
        itVersaoAntiga = false;
    } else {
        itVersaoAntiga = true;
        AdicionarLog(QStringLiteral("   - Erro: Versão do aplicativo muito antiga."));
    }
    AdicionarLog(QStringLiteral("   - Fase 1 concluída com sucesso"));
    plataforma().ProcessMessages();
    plataforma().Sleep(1000);

    qrAux->Executar(
        QStringLiteral(" select a.nm_usuario from sis_usuario a  where a.id_usuario = ") +
        QString::number(itUsuario));
    NomeUsuario = qrAux->ComoTexto(QStringLiteral("nm_usuario"));

    qrAux->Executar(
        QStringLiteral(
            " select a.nm_empresa,a.NO_CNPJCPF, a.ds_e_mail,a.NM_CONTATO ,a.DS_E_MAIL,") +
        Brancos(7) +
        QStringLiteral(
            "a.NO_FONE,a.ATIVO_COMERCIO,a.ATIVO_SERVICOS,a.ATIVO_ESTOQUE,a.ATIVO_MONTAGEM,") +
        Brancos(2) +
        QStringLiteral("a.ATIVO_FINANCEIRO,a.ATIVO_CONTAS_CORRENTES,a.ATIVO_PRE_DATADO") +
        Brancos(17) + QStringLiteral("from tab_parametro") + Brancos(2) + QStringLiteral("a"));
    const QString modulos = ModulosAtivos(*qrAux);
    EmailCliente = qrAux->ComoTexto(QStringLiteral("ds_e_mail"));
    EmpresaAtualizando = qrAux->ComoTexto(QStringLiteral("nm_empresa"));
    const QString cnpjCpf = qrAux->ComoTexto(QStringLiteral("NO_CNPJCPF"));
    const QString contato = qrAux->ComoTexto(QStringLiteral("NM_CONTATO"));
    const QString fone = qrAux->ComoTexto(QStringLiteral("NO_FONE"));

    CorpoEmail = MontarCorpoEmail(EmpresaAtualizando, cnpjCpf, contato, fone, EmailCliente,
                                  NomeUsuario, windowTitle(), modulos, itVersaoErp, itVersaoSite);
}

// Stores the script counter in lcScriptRodado.
void TfrmPrincipal::VerificarScriptRodado() {
    qrAux->Executar(
        QStringLiteral(" sELECT r.* FROM RDB$RELATION_fields r") + Brancos(17) +
        QStringLiteral("where") + Brancos(49) + QStringLiteral("r.RDB$relation_name =") +
        TextoSql(QStringLiteral("TAB_PARAMETRO")) + QStringLiteral(" and  r.RDB$field_name = ") +
        TextoSql(QStringLiteral("SCRIPT_RODADO")));
    if (qrAux->TemLinha()) {
        qrAux->Executar(QStringLiteral(" sELECT coalesce(SCRIPT_RODADO,0) FROM TAB_PARAMETRO "));
        lcScriptRodado = qrAux->ComoInteiro(QStringLiteral("coalesce"));
        return;
    }
    // Databases older than the SCRIPT_RODADO column count their updates in a log table.
    qrAux->Executar(QStringLiteral("select max(no_log_atualizacao) from mov_log_atualizacao"));
    lcScriptRodado = qrAux->ComoInteiro(QStringLiteral("max"));
}

}  // namespace orvalis
