#pragma once

// The packages the benchmarks measure: stored RAR archives of incompressible files,
// written by the test fixtures' writers (no RAR compressor is packaged).

#include "tests/fixtures/Crc32.h"
#include "tests/fixtures/EntradaCompactada.h"
#include "tests/fixtures/EscritorRar4.h"
#include "tests/fixtures/EscritorRar5.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace orvalis::bench {

// The files of each archive, all of one size, in a folder "dados".
inline constexpr int kArchiveFiles = 8;

// Pseudo-random bytes.
class Generator {
  public:
    explicit Generator(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
    void Fill(std::string& block) {
        for (size_t i = 0; i + 8 <= block.size(); i += 8) {
            state_ ^= state_ << 13;
            state_ ^= state_ >> 7;
            state_ ^= state_ << 17;
            std::memcpy(&block[i], &state_, 8);
        }
    }

  private:
    uint64_t state_;
};

// Writes or appends `contents`; the benchmark ends (status 2) when it cannot.
inline void WriteAll(const std::string& path, const std::string& contents, bool append) {
    std::ofstream out(path, std::ios::binary | (append ? std::ios::app : std::ios::trunc));
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::exit(2);
    }
}

// A stored archive of `mebibytes` of incompressible files in a folder "dados", in the
// form of `Writer` (EscritorRar4 or EscritorRar5).
template <typename Writer, typename Header>
void MakeRar(const std::string& archive, uint64_t mebibytes, char separator, Header header) {
    WriteAll(archive, Writer::Inicio(), false);
    std::string contents((mebibytes / kArchiveFiles) << 20, '\0');
    for (int f = 0; f < kArchiveFiles; ++f) {
        Generator(100 + f).Fill(contents);
        const std::string name =
            std::string("dados") + separator + "arquivo" + std::to_string(f) + ".bin";
        WriteAll(archive, header(name, contents.size(), teste::Crc32(contents)), true);
        WriteAll(archive, contents, true);
    }
    WriteAll(archive, Writer::Fim(), true);
}

inline void MakeRar4(const std::string& archive, uint64_t mebibytes) {
    MakeRar<teste::EscritorRar4>(archive, mebibytes, '\\',
                                 [](const std::string& name, uint64_t size, uint32_t crc) {
                                     return teste::EscritorRar4::CabecalhoEntrada(
                                         name, teste::EntradaCompactada::Tipo::kArquivo, size, crc);
                                 });
}

inline void MakeRar5(const std::string& archive, uint64_t mebibytes) {
    MakeRar<teste::EscritorRar5>(archive, mebibytes, '/', &teste::EscritorRar5::CabecalhoEntrada);
}

}  // namespace orvalis::bench
