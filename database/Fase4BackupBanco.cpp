#include "app/Andamento.h"
#include "app/Erros.h"
#include "app/UnFuncaoOrvalis.h"
#include "app/UnPrincipal.h"
#include "database/CaminhoBanco.h"
#include "database/ConexaoBanco.h"
#include "files/ListarExecutaveis.h"
#include "platform/Platform.h"

#include <exception>

namespace orvalis {

namespace {

const QString kErroBackup = QStringLiteral("   - Erro: Falha no backup do banco de dados.");

// Phase 5 inside phase 4: its lines around the package runner, and the guard that turns
// an error escaping the runner into a failed phase and the silent abort.
void ExecutarFase5(TfrmPrincipal& janela) {
    if (!janela.GravarEtapa(DiarioAtualizacao::Etapa::kFase5)) {
        janela.itbancoAtualizado = false;
        Abortar();
    }
    // From here on the database may change: a run that fails now is undone.
    janela.itFase5Iniciada = true;
    try {
        janela.AdicionarLog(QStringLiteral(" FASE 5 de 7 - ATUALIZAÇÃO DO BANCO DE DADOS:"));
        janela.AdicionarLog(QStringLiteral("    - Testando atualização do banco de dados."));
        janela.AdicionarLog(QStringLiteral("    - Aguarde... Isso pode levar alguns minutos."));
        janela.Fase5ExecutarPacotes();
    } catch (...) {
        janela.itbancoAtualizado = false;
        Abortar();
    }
    if (janela.itbancoAtualizado) {
        janela.AdicionarLog(QStringLiteral("    - OK"));
        janela.AdicionarLog(QStringLiteral("    - Fase 5 concluída com sucesso."));
    }
}

}  // namespace

void TfrmPrincipal::Fase4BackupBanco() {
    AdicionarLog(QStringLiteral(" FASE 4 de 7 - BACKUP LOCAL DO BANCO DE DADOS:"));
    AdicionarLog(QStringLiteral("   - Fazendo backup de Rivelobase.fdb"));
    AdicionarLog(QStringLiteral("   -  Aguarde... Isso pode levar alguns minutos."));
    plataforma().ProcessMessages();

    const QString arquivoRetido =
        ArquivoNaPastaDe(itParametroCaminhoCompartilhadoBD, kNomeArquivoRetido);
    const QString backup = PastaBackupExecucao() + QLatin1Char('\\') + kNomeArquivoRetido;
    bool copiou = false;
    try {
        // The engine writes pages in the background even for an idle attachment, and a
        // copy that overlaps those writes is corrupt: the copy is taken with the
        // connection closed.
        IBDatabase1->Desconectar();
        const Andamento andamento(indicadorAndamento(),
                                  QStringLiteral("Copiando o banco de dados para o backup"));
        copiou = plataforma().CopyFile(arquivoRetido, backup, andamento.Rotina());
    } catch (const std::exception&) {
        copiou = false;
    }

    try {
        IBDatabase1->Conectar();
    } catch (const std::exception&) {
        // Without its connection the run cannot go on; the database gets its live name
        // back, as when phase 1 cannot connect.
        AdicionarLog(kErroBackup);
        plataforma().MoveFile(
            arquivoRetido, ArquivoNaPastaDe(itParametroCaminhoCompartilhadoBD, kNomeArquivoVivo));
        Abortar();
    }
    if (!copiou) {
        AdicionarLog(kErroBackup);
        Abortar();
    }
    // The copy is on the disk (the platform flushes it); phase 5 changes nothing until
    // the journal, which a recovery trusts the copy by, is on the disk too.
    FileInformation copia;
    if (!plataforma().GetFileInformation(backup, &copia)) {
        AdicionarLog(kErroBackup);
        Abortar();
    }
    // What phase 3 saved, as the restore of the executables finds it.
    QStringList executaveis;
    for (const QString& nome : ListarExecutaveis(plataforma(), PastaBackupExecucao())) {
        if (AplicativoAtualizavel(nome)) executaveis << nome;
    }
    if (!GravarEtapa(DiarioAtualizacao::Etapa::kBackupBanco, [&](DiarioAtualizacao& diario) {
            diario.tamanhoBackup = copia.size;
            diario.executaveis = executaveis;
        })) {
        Abortar();
    }
    AdicionarLog(QStringLiteral("   - OK"));
    AdicionarLog(QStringLiteral("   - Fase 4 concluída com sucesso."));
    plataforma().ProcessMessages();

    ExecutarFase5(*this);
}

}  // namespace orvalis
