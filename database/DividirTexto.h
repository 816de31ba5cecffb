#pragma once

#include <QString>
#include <QStringList>

namespace orvalis {

// The statement splitter of the SQL packages. Replaces the content of `lista` by the
// statements of `texto`:
//  - every occurrence of the six characters "#$D#$A", and every CR LF pair, becomes
//    one space;
//  - the text is cut at every ";;", scanning from the start; each piece runs up to the
//    next ";;" or to the end, and scanning resumes after those two characters. Every
//    piece is kept in order, an empty one too (between two adjacent ";;" or before a
//    leading one); nothing follows a final ";;", and an empty text gives no piece. A
//    single ";" stays inside its piece. Pieces are never trimmed;
//  - inside each piece, a "--" line comment (outside '...' strings, "..." names and
//    /* */ comments) is removed up to, not including, its line break (CR, LF or the
//    six characters "#$D#$A") or the end of the piece, so that it cannot swallow the
//    rest of its statement once the breaks are blanks. A text without such a comment
//    is split exactly as the rules above say.
// Linear in the length of the text.
void DividirTexto(const QString& texto, QStringList& lista);

}  // namespace orvalis
