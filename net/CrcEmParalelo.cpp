#include "net/CrcEmParalelo.h"

#include <zlib.h>

namespace orvalis {

CrcEmParalelo::CrcEmParalelo() : thread_([this] { Trabalhar(); }) {}

CrcEmParalelo::~CrcEmParalelo() {
    Esperar();
    {
        std::lock_guard<std::mutex> trava(mutex_);
        parar_ = true;
    }
    temTrabalho_.notify_one();
    thread_.join();
}

void CrcEmParalelo::Reiniciar() {
    Esperar();
    std::lock_guard<std::mutex> trava(mutex_);
    crc_ = 0;
}

uint64_t CrcEmParalelo::Somar(const char* dados, size_t tamanho) {
    if (tamanho == 0) return somados_;
    if (rodada_.tamanho != 0 && rodada_.dados + rodada_.tamanho != dados) Entregar();
    if (rodada_.tamanho == 0) rodada_.dados = dados;
    rodada_.tamanho += tamanho;
    somados_ += tamanho;
    const uint64_t marca = somados_;
    if (rodada_.tamanho >= kRodada) Entregar();
    return marca;
}

void CrcEmParalelo::EsperarAte(uint64_t marca) {
    // The run being gathered holds the last bytes given.
    if (rodada_.tamanho != 0 && marca > somados_ - rodada_.tamanho) Entregar();
    std::unique_lock<std::mutex> trava(mutex_);
    andou_.wait(trava, [this, marca] { return feitos_ >= marca; });
}

void CrcEmParalelo::Esperar() {
    EsperarAte(somados_);
}

uint32_t CrcEmParalelo::Valor() {
    Esperar();
    std::lock_guard<std::mutex> trava(mutex_);
    return crc_;
}

void CrcEmParalelo::Entregar() {
    {
        std::lock_guard<std::mutex> trava(mutex_);
        fila_.push_back(rodada_);
    }
    rodada_ = {nullptr, 0};
    temTrabalho_.notify_one();
}

void CrcEmParalelo::Trabalhar() {
    std::unique_lock<std::mutex> trava(mutex_);
    for (;;) {
        temTrabalho_.wait(trava, [this] { return !fila_.empty() || parar_; });
        if (fila_.empty()) return;
        const Pedaco pedaco = fila_.front();
        fila_.pop_front();
        const uint32_t anterior = crc_;
        trava.unlock();
        const auto crc = static_cast<uint32_t>(
            crc32_z(anterior, reinterpret_cast<const Bytef*>(pedaco.dados), pedaco.tamanho));
        trava.lock();
        crc_ = crc;
        feitos_ += pedaco.tamanho;
        andou_.notify_all();
    }
}

}  // namespace orvalis
