#pragma once

#include <QString>

namespace orvalis {

class Platform;

// The extraction command of the release packages: what the archiver's
// `e -o- -inul -ibck "arquivo" "pastaDestino"` does, done in-process and synchronously.
//
// Every regular file of the archive `arquivo` is written into the folder `pastaDestino`
// under its base name alone (its stored path after the last "/" or "\"); the folders
// stored in the archive are not made. A name that already exists in the folder, in any
// letter case, keeps its old content and the entry is skipped; so is the later of two
// entries with one base name. Folders, links, devices and names that a Windows folder
// cannot hold are never written.
//
// RAR 4 and RAR 5 are read, and every other format and compression that libarchive
// reads (zip as a stream, by its local headers). The archive is read through the
// platform.
//
// Returns when the whole archive has been read. A missing or unreadable archive, a
// file that is not an archive, a damaged or truncated one, or an entry that cannot be
// written raises ErroOrvalis: the files written before stay, the file of the entry
// being written is removed, and nothing that existed before is touched.
//
// `pastaExtrator` is the folder of the archiver program that the command names; the
// in-process extraction needs no program and does not look at it. Nothing is shown,
// no window message is processed.
void ExtrairArquivo(Platform& plataforma, const QString& pastaExtrator, const QString& arquivo,
                    const QString& pastaDestino);

}  // namespace orvalis
