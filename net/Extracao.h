#pragma once

#include "platform/Platform.h"

#include <QString>

namespace orvalis {

// The extraction command of the release packages: what the archiver's
// `e -o- -inul -ibck "arquivo" "pastaDestino"` does, done in-process and synchronously.
//
// Only the vendor's formats are read, RAR 4 and RAR 5, with libarchive and no
// decompression filter (a filter may start an outside program). The archive is read
// through the platform, once, from its first byte to its last; a walker of the RAR
// blocks (CabecalhosRar) sees the same bytes and gives, for every entry, the size and
// the CRC-32 that its file header records, which libarchive does not check for a stored
// entry.
//
// Every regular file of the archive `arquivo` is written into the folder `pastaDestino`
// under its base name alone (its stored path after the last "/" or "\"); the folders
// stored in the archive are not made. A name that already exists in the folder, in any
// letter case, keeps its old content and the entry is skipped; so is the later of two
// entries with one base name. A skipped entry's data is still read and checked.
//
// The archive is damaged (ErroOrvalis "O arquivo compactado <arquivo> está danificado
// ou incompleto: <motivo>") when: it is not a RAR 4 or RAR 5 archive (a self-extracting
// one, a program before the signature, is not read), or a header fails its CRC, or it
// is split into volumes or encrypted; an entry's data does not match the
// CRC-32 of its header, or has more or fewer bytes than the header declares; a file of
// any size but zero has no CRC-32 (a RAR 5 header may leave it out; the vendor's
// archiver always writes it); an entry is a link (symbolic or hard), a device, a FIFO
// or a socket, or is sparse; a file's base name is one that Windows refuses (a device
// name such as CON, NUL, COM1 or LPT1 with any extension and in any letter case, one of
// the characters <>:"|?*, a control character, a dot or a blank at its end); bytes
// follow the end-of-archive block; the entries that libarchive reports are not, one for
// one and in order, the file headers of the walker. An archive cut short, even between two blocks,
// raises "... está incompleto: falta o fim do arquivo.".
//
// Before an entry's file is written, and again after every 16 MiB written, the free
// space of the drive of `pastaDestino` is asked (not for a skipped entry): an entry whose remaining
// bytes (none known when its size is not declared) would leave under 1 GiB free there is refused
// with a message that names the entry, what it has still to write and the drive's free
// bytes; a failed query raises too.
//
// The CRC-32 of an entry's data is computed on a thread of its own (CrcEmParalelo)
// while the data is written; the call itself is synchronous like every other.
//
// Returns when the whole archive has been read. A missing or unreadable archive, an
// empty file, anything refused above, or an entry that cannot be written raises
// ErroOrvalis: the files written before stay, the file of the entry being written is
// removed, and nothing that existed before is touched.
//
// `pastaExtrator` is the folder of the archiver program that the command names; the
// in-process extraction needs no program and does not look at it. Nothing is shown,
// no window message is processed; a `progresso` routine hears of the bytes of the
// archive read of its size as the extraction goes (what it does is its own; whether it
// returns false changes nothing).
void ExtrairArquivo(Platform& plataforma, const QString& pastaExtrator, const QString& arquivo,
                    const QString& pastaDestino, const ProgressRoutine& progresso = nullptr);

}  // namespace orvalis
