#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>

namespace orvalis {

class ExclusiveFile;
class Platform;

// The journal of a server update: AtualizacaoEmAndamento.ini in the updater's own folder.
// While a run holds the database, it says where the run is, so that a run cut off by a
// kill or a power cut can be undone by the next start of the program. It is
// self-contained: every path it names is written out, none is taken from the command
// line of the start that reads it.
//
// The file is UTF-8 with CR LF line breaks, one section [atualizacao] of key=value lines
// and one section [executaveis] listing the executables backed up (1=..., 2=...):
//
//     [atualizacao]
//     etapa=fase5
//     inicio=2026-12-10T14:30:05
//     banco=C:\orvalis Empresa\Dados\Rivelobase.fdb
//     retido=C:\orvalis Empresa\Dados\OLD_RIVELOBASE.FDB
//     backup=C:\orvalis Empresa\Backup\2.7.20261210143005
//     tamanho_backup=1056768
//     pastamestre=C:\orvalis Empresa\Atualizador
//     fase6=0
//
//     [executaveis]
//     1=orvalisEmpresa.exe
//
// Values are taken as written, blanks included. A value object; the file calls go
// through the platform given to them.
class DiarioAtualizacao {
  public:
    // The last boundary the run passed, in the order a run passes them.
    enum class Etapa {
        kRetencao,       // the live file is about to take the held name
        kBackupBanco,    // the backup copy of the held file is whole and on the disk
        kFase5,          // the packages may have begun to change the held file
        kFase6,          // the executables may have begun to be replaced
        kVersaoGravada,  // the stamp is committed: packages and executables are new
        // The run's own undo has copied the backup back under the live name: what is
        // left is the held file to discard and, when phase 6 had begun, the executables.
        kBancoRestaurado,
    };

    Etapa etapa = Etapa::kRetencao;
    // When the run began.
    QDateTime inicio;
    // The database file under its live name, and under the name the run holds it by.
    QString bancoVivo;
    QString bancoRetido;
    // The run's backup folder, and the size of the database backup in it once phase 4
    // has copied it (-1 before).
    QString pastaBackup;
    int64_t tamanhoBackup = -1;
    // The master folder and the executables that phase 3 copied from it into the
    // backup folder, by name.
    QString pastaMestre;
    QStringList executaveis;
    // Phase 6 had begun: the executables may have been replaced.
    bool fase6Iniciada = false;

    // The backup of the database in the run's backup folder.
    QString BackupBanco() const;

    // The journal's path: the updater's own folder + "\AtualizacaoEmAndamento.ini".
    static QString Caminho(Platform& plataforma);

    // Replaces the journal with this content durably: a temporary file beside it,
    // written and flushed, renamed over the journal with the rename on the disk. After
    // a power cut the journal holds either its previous content or this one. False on
    // failure, with the platform's last error set; the previous journal is then as it
    // was (a leftover temporary file is overwritten by the next write).
    bool Gravar(Platform& plataforma) const;

    enum class Leitura { kAusente, kLido, kInvalido };
    // Reads the journal into `diario`: kAusente when there is none, kInvalido when it
    // cannot be read or lacks a value a recovery needs.
    static Leitura Ler(Platform& plataforma, DiarioAtualizacao* diario);
    static bool Existe(Platform& plataforma);
    // The right to run a server update or a recovery on this installation, held by one
    // process at a time (AtualizacaoEmAndamento.lock beside the journal, held
    // exclusively for the life of the object); null, with the platform's last error
    // set, when another process holds it.
    static std::unique_ptr<ExclusiveFile> Reservar(Platform& plataforma);
    static QString CaminhoReserva(Platform& plataforma);
    // Deletes the journal; true when it is gone (also when there was none).
    static bool Apagar(Platform& plataforma);

  private:
    // The file's text, and back; Interpretar returns false for a text that lacks a
    // value a recovery needs.
    QByteArray Texto() const;
    static bool Interpretar(const QByteArray& texto, DiarioAtualizacao* diario);
};

}  // namespace orvalis
