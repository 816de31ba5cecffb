#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

namespace orvalis {

// Follows the chain of blocks of a RAR 4 or RAR 5 archive over the archive's bytes as
// they are read, and keeps what each file header records about its entry's data: the
// size and the CRC-32. libarchive neither checks these for a stored entry nor shows
// them, so the extraction hands every byte it gives libarchive to this object as well
// and checks each entry that libarchive reports against the next file header here.
//
// The bytes arrive in pieces of any size, each once, from the archive's first byte on.
// Only the header being read is kept (a RAR 4 header is below 64 KiB, a RAR 5 header
// at most 2 MiB), data areas are passed over by the size their header gives, and the
// file headers read ahead of the extraction wait in a queue: memory does not grow
// with the archive. A header's fields are used only once its own CRC matches (the
// blocks of RAR 2, which hold no entry, are passed over by their sizes alone).
//
// Read: an archive that begins with the RAR 4 or RAR 5 signature (no program before
// it), in one volume, without encryption, ending with its end-of-archive block and
// nothing after it. Every other block type that the formats define is passed over
// (RAR 4 comments and sub-blocks, RAR 5 service headers). Anything else is a defect:
// motivo() then says what and where (in Portuguese, for the message of a damaged
// archive), and no byte after it is looked at. A file header read before the defect
// stays in the queue: the extraction reaches a defect where the archive has it.
class CabecalhosRar {
  public:
    enum class Formato { kIndefinido, kRar4, kRar5 };

    // What one file header records.
    struct Entrada {
        // The unpacked size; none when the header says it is unknown (RAR 5).
        std::optional<uint64_t> tamanho;
        // The CRC-32 of the unpacked data; none when the header has no such field (RAR 5).
        std::optional<uint32_t> crc;
        // The header makes the entry a link (a RAR 5 redirection record).
        bool ligacao = false;
    };

    // The next `tamanho` bytes of the archive.
    void Receber(const char* dados, size_t tamanho);
    // The archive has no more bytes. A signature that never completed is a defect; a
    // header or data area cut short is not one, but leaves fimLido() false.
    void Terminar();

    Formato formato() const { return formato_; }
    bool defeituoso() const { return !motivo_.isEmpty(); }
    const QString& motivo() const { return motivo_; }
    // The end-of-archive block has been read.
    bool fimLido() const { return estado_ == Estado::kFim; }

    // Takes the first file header of the queue, in the order of the archive; none when
    // every header read so far has been taken.
    std::optional<Entrada> Proxima();
    bool restamEntradas() const { return !entradas_.empty(); }

  private:
    enum class Estado { kAssinatura, kCabecalho, kDados, kFim, kParado };

    // Takes the next byte of the signature.
    void LerAssinatura(char byte);
    // Takes bytes of the header in progress and, once it is whole, reads it.
    size_t LerCabecalho(const char* dados, size_t tamanho);
    // The whole size of the header in progress once its first bytes give it; 0 before.
    size_t TamanhoCabecalho();
    void AnalisarRar4();
    void AnalisarRar5();

    void Falhar(const QString& motivo);
    void CrcErrado();
    void Invalido();
    void NaoAceito();

    Formato formato_ = Formato::kIndefinido;
    Estado estado_ = Estado::kAssinatura;
    // The bytes of the signature or of the header in progress.
    std::string cabecalho_;
    size_t tamanhoCabecalho_ = 0;
    uint64_t dadosRestantes_ = 0;
    // The offset of the next byte, and that of the header in progress.
    int64_t posicao_ = 0;
    int64_t inicioCabecalho_ = 0;
    std::deque<Entrada> entradas_;
    QString motivo_;
};

}  // namespace orvalis
