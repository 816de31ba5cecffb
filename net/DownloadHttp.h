#pragma once

#include "net/ClienteHttp.h"
#include "platform/Platform.h"

#include <QString>

#include <functional>

namespace orvalis {

class Platform;

// BaixarArquivoHttp with the given limits. Before any traffic it creates a new
// temporary file beside `destino` (in its folder, under a name that never ends in
// ".part"); when that cannot be done, ErroOrvalis is raised naming `destino` and the
// system's reason. The body then goes into the temporary file, which replaces
// `destino` (ReplaceFile) only when a 2xx status and the whole body have arrived:
// true (a 2xx body that only the end of the connection would end, with neither a
// Content-Length nor chunked coding, is never whole). A body that would leave less than
// 1 GiB free on the destination's drive (or a drive whose free space cannot be read)
// stops the transfer there. Every other outcome is false:
// the temporary file is deleted and an existing `destino` is left as it was. A
// replacement refused by the file system (a destination in use, a folder of that name)
// raises ErroOrvalis like a destination that cannot be created. The public
// BaixarArquivoHttp is this with the limits in force (ClienteHttp::LimitesEmVigor).
// With `progresso`, the routine hears of the bytes received of the size the response
// announced (-1 for a chunked body) as they arrive; returning false stops the transfer.
// With `aceitar`, the whole body, closed in its temporary file, replaces `destino` only
// when the routine, given that file's path, returns true; otherwise the outcome is false
// as for a body that did not arrive (an exception from it goes on, the file deleted).
bool BaixarArquivoHttp(Platform& plataforma, const QString& url, const QString& destino,
                       const ClienteHttp::Limites& limites,
                       const ProgressRoutine& progresso = nullptr,
                       const std::function<bool(const QString& temporario)>& aceitar = nullptr);

}  // namespace orvalis
