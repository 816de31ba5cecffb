#include "app/Andamento.h"
#include "app/UnPrincipal.h"
#include "database/CaminhoBanco.h"
#include "platform/Platform.h"
#include "update/DiarioAtualizacao.h"

namespace orvalis {

namespace {

using Etapa = DiarioAtualizacao::Etapa;

// The undo of one interrupted run, as its journal and the files found now call for it.
// Every check comes before the first change, and every step can be taken again: a
// recovery that is itself cut off is finished by the next one.
class Recuperacao {
  public:
    Recuperacao(TfrmPrincipal& janela, const DiarioAtualizacao& diario)
        : janela_(janela), plataforma_(janela.plataforma()), diario_(diario) {}

    // False, with its error line logged, when it cannot proceed; nothing more has then
    // been changed by the step that found the problem.
    bool Executar() {
        const bool vivo = plataforma_.FileExists(diario_.bancoVivo);
        const bool retido = plataforma_.FileExists(diario_.bancoRetido);
        if (diario_.etapa == Etapa::kBancoRestaurado && vivo) return TerminarDesfazer(retido);
        if (diario_.etapa == Etapa::kFase5 || diario_.etapa == Etapa::kFase6 ||
            diario_.etapa == Etapa::kBancoRestaurado) {
            return DesfazerAlteracoes(vivo, retido);
        }
        // Before phase 5 the database is untouched; once the stamp is committed the
        // packages and the executables are the new ones. Either way it only needs its
        // live name back.
        if (vivo) {
            // Before the held name was taken, a held file found beside the live one is
            // somebody else's leftover; later it would be a second database.
            if (!retido || diario_.etapa == Etapa::kRetencao) return true;
            return FalhaDoisBancos();
        }
        if (!retido) {
            return Falha(QStringLiteral("   - Erro: Banco de dados não encontrado: ") +
                         diario_.bancoVivo);
        }
        return DevolverNomeVivo();
    }

  private:
    bool ComExecutaveis() const { return diario_.fase6Iniciada || diario_.etapa == Etapa::kFase6; }

    // The run's own undo had copied the backup back: the live file is the database now,
    // whatever has been done with it since. What the undo may have left is the held
    // file, and executables it could not put back.
    bool TerminarDesfazer(bool retido) {
        return RestaurarExecutaveisSeIniciados() && ApagarRetido(retido);
    }

    // Phase 5 or 6 had begun and the stamp was not committed: the database comes back
    // from the backup, and from phase 6 on the executables too.
    bool DesfazerAlteracoes(bool vivo, bool retido) {
        if (!retido && vivo) {
            // The run's own restore gave the database back (the held file is deleted
            // only after the copy). Its executables went back before it, but not
            // necessarily all of them; a live file that is no longer the backup's copy
            // has been used since, and nothing is touched.
            if (!ComExecutaveis() || !IgualAoBackup(diario_.bancoVivo)) return true;
            return RestaurarExecutaveisSeIniciados();
        }
        if (!VerificarBackupBanco()) return false;
        if (vivo && !IgualAoBackup(diario_.bancoVivo)) return FalhaDoisBancos();
        if (!RestaurarExecutaveisSeIniciados()) return false;
        // A live file equal to the backup is the run's own restore copy.
        if (!vivo && !RestaurarBanco()) return false;
        return ApagarRetido(retido);
    }

    // From phase 6 on, every executable backed up is checked, then put back.
    bool RestaurarExecutaveisSeIniciados() {
        return !ComExecutaveis() || (VerificarExecutaveis() && RestaurarExecutaveis());
    }

    bool ApagarRetido(bool retido) {
        if (retido && !plataforma_.DeleteFile(diario_.bancoRetido)) {
            return FalhaSistema(QStringLiteral("   - Erro: Não foi possível apagar ") +
                                diario_.bancoRetido);
        }
        return true;
    }

    bool DevolverNomeVivo() {
        const QString destino = ArquivoNaPastaDe(diario_.bancoVivo, kNomeArquivoVivo);
        janela_.AdicionarLog(QStringLiteral("   - Renomeando ") + diario_.bancoRetido +
                             QStringLiteral(" para ") + destino);
        if (!plataforma_.MoveFile(diario_.bancoRetido, destino)) {
            return FalhaSistema(QStringLiteral("   - Erro: Não foi possível renomear ") +
                                diario_.bancoRetido + QStringLiteral(" para ") + destino);
        }
        return true;
    }

    bool VerificarBackupBanco() {
        const QString backup = diario_.BackupBanco();
        FileInformation info;
        if (!plataforma_.GetFileInformation(backup, &info)) {
            return Falha(QStringLiteral("   - Erro: Backup do banco de dados não encontrado: ") +
                         backup);
        }
        if (info.size != diario_.tamanhoBackup) {
            return Falha(QStringLiteral("   - Erro: Backup do banco de dados incompleto: %1 (%2 "
                                        "bytes; esperados %3)")
                             .arg(backup)
                             .arg(info.size)
                             .arg(diario_.tamanhoBackup));
        }
        return true;
    }

    // A copy keeps its source's size and last-write time; a database that has been
    // opened since has another time.
    bool IgualAoBackup(const QString& arquivo) {
        FileInformation copia;
        FileInformation backup;
        return plataforma_.GetFileInformation(arquivo, &copia) &&
               plataforma_.GetFileInformation(diario_.BackupBanco(), &backup) &&
               copia.size == backup.size && copia.lastWriteTime == backup.lastWriteTime;
    }

    bool VerificarExecutaveis() {
        for (const QString& nome : diario_.executaveis) {
            const QString backup = diario_.pastaBackup + QLatin1Char('\\') + nome;
            if (!plataforma_.FileExists(backup)) {
                return Falha(QStringLiteral("   - Erro: Backup do ") + nome +
                             QStringLiteral(" não encontrado: ") + backup);
            }
        }
        return true;
    }

    bool RestaurarExecutaveis() {
        for (const QString& nome : diario_.executaveis) {
            janela_.AdicionarLog(QStringLiteral("   - Restaurando ") + nome);
            const QString destino = diario_.pastaMestre + QLatin1Char('\\') + nome;
            if (!plataforma_.CopyFile(diario_.pastaBackup + QLatin1Char('\\') + nome, destino)) {
                return FalhaSistema(QStringLiteral("   - Erro: Não foi possível restaurar ") +
                                    destino);
            }
        }
        return true;
    }

    bool RestaurarBanco() {
        janela_.AdicionarLog(QStringLiteral("   - Restaurando Banco de Dados de ") +
                             diario_.BackupBanco());
        // Under the live path as the ERP names it, as the run's own restore writes it.
        const Andamento andamento(janela_.indicadorAndamento(),
                                  QStringLiteral("Restaurando o banco de dados do backup"));
        if (!plataforma_.CopyFile(diario_.BackupBanco(), diario_.bancoVivo, andamento.Rotina())) {
            return FalhaSistema(QStringLiteral("   - Erro: Não foi possível restaurar ") +
                                diario_.bancoVivo);
        }
        return true;
    }

    bool FalhaDoisBancos() {
        return Falha(QStringLiteral("   - Erro: Existem dois bancos de dados: ") +
                     diario_.bancoVivo + QStringLiteral(" e ") + diario_.bancoRetido);
    }
    bool Falha(const QString& linha) {
        janela_.AdicionarLog(linha);
        return false;
    }
    // The error line with the system's reason for the call that just failed.
    bool FalhaSistema(const QString& linha) {
        return Falha(linha + QStringLiteral(": ") +
                     plataforma_.SystemErrorMessage(plataforma_.LastError()));
    }

    TfrmPrincipal& janela_;
    Platform& plataforma_;
    const DiarioAtualizacao& diario_;
};

}  // namespace

std::unique_ptr<ExclusiveFile> TfrmPrincipal::ReservarInstalacao() {
    std::unique_ptr<ExclusiveFile> reserva = DiarioAtualizacao::Reservar(plataforma_);
    if (reserva == nullptr) {
        AdicionarLog(QStringLiteral("   - Erro: Outra execução do atualizador está em "
                                    "andamento neste servidor: ") +
                     DiarioAtualizacao::CaminhoReserva(plataforma_));
    }
    return reserva;
}

bool TfrmPrincipal::RecuperarAtualizacaoInterrompida() {
    DiarioAtualizacao diario;
    const DiarioAtualizacao::Leitura leitura = DiarioAtualizacao::Ler(plataforma_, &diario);
    if (leitura == DiarioAtualizacao::Leitura::kAusente) return true;
    AdicionarLog(QStringLiteral(" RECUPERAÇÃO DA ATUALIZAÇÃO INTERROMPIDA:"));
    if (leitura == DiarioAtualizacao::Leitura::kInvalido) {
        AdicionarLog(QStringLiteral("   - Erro: O diário da atualização não pôde ser lido: ") +
                     DiarioAtualizacao::Caminho(plataforma_));
        return false;
    }
    AdicionarLog(QStringLiteral("   - Atualização iniciada em ") +
                 plataforma_.FormatShortDate(diario.inicio.date()) + QLatin1Char(' ') +
                 plataforma_.FormatLongTime(diario.inicio.time()));
    if (!Recuperacao(*this, diario).Executar()) return false;
    if (!DiarioAtualizacao::Apagar(plataforma_)) {
        AdicionarLog(QStringLiteral("   - Erro: Não foi possível apagar ") +
                     DiarioAtualizacao::Caminho(plataforma_) + QStringLiteral(": ") +
                     plataforma_.SystemErrorMessage(plataforma_.LastError()));
        return false;
    }
    AdicionarLog(QStringLiteral("   - OK"));
    return true;
}

}  // namespace orvalis
