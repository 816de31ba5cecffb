#include "platform/Wildcard.h"

namespace orvalis {

namespace {

QChar Fold(QChar c) {
    return c.toCaseFolded();
}

}  // namespace

Wildcard::Wildcard(const QString& pattern) {
    // The same rewriting that FindFirstFile applies before the file system matches:
    // '?' is the DOS question mark, '*' before a dot the DOS star, and a dot before a
    // wildcard or at the end the DOS dot. "*.*" therefore needs no special case.
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        const QChar next = i + 1 < pattern.size() ? pattern[i + 1] : QChar();
        if (c == u'?') {
            tokens_.push_back({Kind::kDosQuestion, QChar()});
            literal_ = false;
        } else if (c == u'*') {
            tokens_.push_back({next == u'.' ? Kind::kDosStar : Kind::kStar, QChar()});
            literal_ = false;
        } else if (c == u'.' && (next.isNull() || next == u'?' || next == u'*')) {
            tokens_.push_back({Kind::kDosDot, QChar()});
        } else {
            tokens_.push_back({Kind::kChar, Fold(c)});
        }
    }
}

bool Wildcard::Matches(const QString& name) const {
    // One cell per (token, position): the star loops would otherwise make a long name
    // against a pattern of several stars exponential.
    std::vector<signed char> memo((tokens_.size() + 1) * static_cast<size_t>(name.size() + 1), -1);
    return MatchFrom(0, 0, name, &memo);
}

bool Wildcard::MatchFrom(size_t token, qsizetype position, const QString& name,
                         std::vector<signed char>* memo) const {
    const size_t slot =
        token * static_cast<size_t>(name.size() + 1) + static_cast<size_t>(position);
    if ((*memo)[slot] >= 0) return (*memo)[slot] != 0;

    bool result = false;
    if (token == tokens_.size()) {
        result = position == name.size();
    } else {
        const Token& t = tokens_[token];
        switch (t.kind) {
            case Kind::kChar:
                result = position < name.size() && Fold(name[position]) == t.folded &&
                         MatchFrom(token + 1, position + 1, name, memo);
                break;
            case Kind::kStar:
                for (qsizetype end = position; end <= name.size() && !result; ++end) {
                    result = MatchFrom(token + 1, end, name, memo);
                }
                break;
            case Kind::kDosStar: {
                // Runs up to the last dot of the name, never past it; with no dot left
                // it takes the rest of the name.
                const qsizetype lastDot = name.lastIndexOf(u'.');
                const qsizetype limit = lastDot >= position ? lastDot : name.size();
                for (qsizetype end = position; end <= limit && !result; ++end) {
                    result = MatchFrom(token + 1, end, name, memo);
                }
                break;
            }
            case Kind::kDosQuestion:
                if (position == name.size() || name[position] == u'.') {
                    result = MatchFrom(token + 1, position, name, memo);
                } else {
                    result = MatchFrom(token + 1, position + 1, name, memo);
                }
                break;
            case Kind::kDosDot:
                if (position < name.size() && name[position] == u'.') {
                    result = MatchFrom(token + 1, position + 1, name, memo);
                }
                if (!result && position == name.size()) {
                    result = MatchFrom(token + 1, position, name, memo);
                }
                break;
        }
    }
    (*memo)[slot] = result ? 1 : 0;
    return result;
}

}  // namespace orvalis
