#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>

namespace orvalis {

// The CRC-32 (zlib's) of data given in pieces, in order, computed on a thread of its
// own: the extraction writes a block to the disk while the CRC of the blocks before is
// computed, instead of one after the other. The thread only reads the pieces and
// computes; it calls nothing else, and nothing of the program runs on it.
//
// Pieces that follow each other in memory are gathered and handed to the thread in runs
// of up to kRodada bytes, so that it is woken about once a megabyte. Somar() returns a
// mark: the memory of a piece must stay valid and unchanged until EsperarAte() with its
// mark, Esperar() or Valor() has returned. All calls come from one thread. The
// destructor waits for the pieces given and ends the thread.
class CrcEmParalelo {
  public:
    static constexpr size_t kRodada = size_t{1} << 20;

    CrcEmParalelo();
    ~CrcEmParalelo();
    CrcEmParalelo(const CrcEmParalelo&) = delete;
    CrcEmParalelo& operator=(const CrcEmParalelo&) = delete;

    // Starts a new sum (of no data yet), once the pieces given before are done.
    void Reiniciar();
    // Adds `tamanho` bytes at `dados` to the sum, after every piece given before;
    // returns the piece's mark.
    uint64_t Somar(const char* dados, size_t tamanho);
    // Returns once every piece up to the one of `marca` has been added.
    void EsperarAte(uint64_t marca);
    // Returns once every piece given has been added.
    void Esperar();
    // The CRC-32 of every piece since Reiniciar(), once they are all added.
    uint32_t Valor();

  private:
    struct Pedaco {
        const char* dados;
        size_t tamanho;
    };

    // Hands the gathered run to the thread.
    void Entregar();
    void Trabalhar();

    // The run being gathered, not yet seen by the thread.
    Pedaco rodada_{nullptr, 0};
    uint64_t somados_ = 0;  // bytes given to Somar

    std::mutex mutex_;
    std::condition_variable temTrabalho_;
    std::condition_variable andou_;
    std::deque<Pedaco> fila_;  // runs handed over and not taken by the thread yet
    uint64_t feitos_ = 0;      // bytes added by the thread
    bool parar_ = false;
    uint32_t crc_ = 0;
    std::thread thread_;
};

}  // namespace orvalis
