#pragma once

#include <QString>

#include <vector>

namespace orvalis {

// A file-name pattern as FindFirstFile reads it: `*` stands for any run of characters,
// `?` for one character, letter case is ignored. The DOS rules hold as on Windows:
// `*.*` matches every name, also one without a dot (and "." and ".."), a `?` before a
// dot or at the end may match nothing ("a??.txt" matches "a.txt"), and a trailing
// dot matches the end of a name ("abc." matches "abc").
class Wildcard {
  public:
    explicit Wildcard(const QString& pattern);

    bool Matches(const QString& name) const;
    // True when the pattern has no `*` or `?`: it names one entry.
    bool IsLiteral() const { return literal_; }

  private:
    enum class Kind { kChar, kStar, kDosStar, kDosQuestion, kDosDot };
    struct Token {
        Kind kind;
        QChar folded;  // kChar only
    };

    bool MatchFrom(size_t token, qsizetype position, const QString& name,
                   std::vector<signed char>* memo) const;

    std::vector<Token> tokens_;
    bool literal_ = true;
};

}  // namespace orvalis
