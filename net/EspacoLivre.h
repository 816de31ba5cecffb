#pragma once

#include <cstdint>

namespace orvalis {

// What a download or an extraction leaves free at the least on its target drive, where
// the customer's database lives too.
inline constexpr uint64_t kLivreMinimo = uint64_t{1} << 30;

// Whether `bytes` more can go to a drive with `livres` bytes free and leave kLivreMinimo.
constexpr bool DeixaLivre(uint64_t livres, uint64_t bytes) {
    return livres >= bytes && livres - bytes >= kLivreMinimo;
}

}  // namespace orvalis
