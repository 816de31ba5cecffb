#include "net/CabecalhosRar.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace orvalis {

namespace {

constexpr char kAssinaturaRar4[] = "Rar!\x1A\x07\x00";
constexpr char kAssinaturaRar5[] = "Rar!\x1A\x07\x01\x00";
constexpr size_t kTamanhoAssinaturaRar4 = 7;
constexpr size_t kTamanhoAssinaturaRar5 = 8;

// RAR 4 block types and flags.
constexpr uint8_t kRar4Principal = 0x73;
constexpr uint8_t kRar4Arquivo = 0x74;
constexpr uint8_t kRar4ComentarioAntigo = 0x75;  // 0x75 to 0x79: blocks of RAR 2
constexpr uint8_t kRar4AssinaturaAntiga = 0x79;
constexpr uint8_t kRar4Servico = 0x7A;
constexpr uint8_t kRar4Fim = 0x7B;
constexpr uint16_t kRar4ComTamanhoExtra = 0x8000;
constexpr uint16_t kRar4VolumeOuCabecalhosCifrados = 0x0001 | 0x0080;  // main header
constexpr uint16_t kRar4DivididaOuCifrada = 0x0001 | 0x0002 | 0x0004;  // file header
constexpr uint16_t kRar4TamanhosGrandes = 0x0100;
constexpr uint16_t kRar4ContinuaNoProximoVolume = 0x0001;  // end block
constexpr size_t kRar4CabecalhoArquivo = 32;               // up to the name

// RAR 5 header types and flags.
constexpr uint64_t kRar5Principal = 1;
constexpr uint64_t kRar5Arquivo = 2;
constexpr uint64_t kRar5Servico = 3;
constexpr uint64_t kRar5Cifragem = 4;
constexpr uint64_t kRar5Fim = 5;
constexpr uint64_t kRar5ComExtra = 0x0001;
constexpr uint64_t kRar5ComDados = 0x0002;
constexpr uint64_t kRar5IgnorarSeDesconhecido = 0x0004;
constexpr uint64_t kRar5DadosEmVolumes = 0x0008 | 0x0010;
constexpr uint64_t kRar5Volume = 0x0001;  // main header, and "not the last" in the end block
constexpr uint64_t kRar5ComHora = 0x0002;
constexpr uint64_t kRar5ComCrc = 0x0004;
constexpr uint64_t kRar5TamanhoDesconhecido = 0x0008;
constexpr uint64_t kRar5RegistroCifragem = 1;
constexpr uint64_t kRar5RegistroRedirecao = 5;
// The format keeps the header size in at most 3 bytes.
constexpr size_t kRar5BytesTamanho = 3;
constexpr size_t kRar5MaiorCabecalho = size_t{2} << 20;

uint32_t Crc32(const char* dados, size_t tamanho) {
    return static_cast<uint32_t>(crc32_z(0, reinterpret_cast<const Bytef*>(dados), tamanho));
}

uint64_t Le(const std::string& bytes, size_t inicio, size_t tamanho) {
    uint64_t valor = 0;
    for (size_t i = tamanho; i > 0; --i) {
        valor = (valor << 8) | static_cast<unsigned char>(bytes[inicio + i - 1]);
    }
    return valor;
}

// Reads the fields of a RAR 5 header in order. A field that would pass `fim` or a
// number that does not fit in 64 bits makes it fail, and every later read fails too.
class Campos {
  public:
    Campos(const std::string& bytes, size_t inicio, size_t fim)
        : bytes_(bytes), posicao_(inicio), fim_(fim) {}

    bool ok() const { return ok_; }
    size_t posicao() const { return posicao_; }

    // A variable-length integer: 7 bits a byte, low bits first, the high bit set on
    // every byte but the last.
    uint64_t Numero() {
        uint64_t valor = 0;
        for (int deslocamento = 0; ok_; deslocamento += 7) {
            if (posicao_ >= fim_ || deslocamento > 63) return Falha();
            const auto byte = static_cast<unsigned char>(bytes_[posicao_++]);
            if (deslocamento == 63 && (byte & 0x7E) != 0) return Falha();
            valor |= static_cast<uint64_t>(byte & 0x7F) << deslocamento;
            if ((byte & 0x80) == 0) return valor;
        }
        return 0;
    }
    uint32_t Le32() {
        if (!Pular(4)) return 0;
        return static_cast<uint32_t>(Le(bytes_, posicao_ - 4, 4));
    }
    bool Pular(uint64_t tamanho) {
        if (!ok_ || tamanho > fim_ - posicao_) return Falha() != 0;
        posicao_ += static_cast<size_t>(tamanho);
        return true;
    }

  private:
    uint64_t Falha() {
        ok_ = false;
        return 0;
    }

    const std::string& bytes_;
    size_t posicao_;
    size_t fim_;
    bool ok_ = true;
};

}  // namespace

void CabecalhosRar::Receber(const char* dados, size_t tamanho) {
    while (tamanho > 0 && estado_ != Estado::kParado) {
        size_t usados = 0;
        switch (estado_) {
            case Estado::kAssinatura:
                LerAssinatura(dados[0]);
                usados = 1;
                break;
            case Estado::kCabecalho:
                usados = LerCabecalho(dados, tamanho);
                break;
            case Estado::kDados:
                usados = static_cast<size_t>(std::min<uint64_t>(dadosRestantes_, tamanho));
                dadosRestantes_ -= usados;
                posicao_ += static_cast<int64_t>(usados);
                if (dadosRestantes_ == 0) estado_ = Estado::kCabecalho;
                break;
            case Estado::kFim:
                Falhar(QStringLiteral("há dados depois do fim do arquivo, na posição %1")
                           .arg(posicao_));
                break;
            case Estado::kParado:
                break;
        }
        dados += usados;
        tamanho -= usados;
    }
}

void CabecalhosRar::Terminar() {
    if (estado_ == Estado::kAssinatura) {
        Falhar(QStringLiteral("não é um arquivo RAR 4 nem RAR 5"));
    }
}

std::optional<CabecalhosRar::Entrada> CabecalhosRar::Proxima() {
    if (entradas_.empty()) return std::nullopt;
    Entrada entrada = entradas_.front();
    entradas_.pop_front();
    return entrada;
}

void CabecalhosRar::LerAssinatura(char byte) {
    // One byte at a time: the two signatures share their first six bytes and differ in
    // length, and a file of neither kind is refused at its first wrong byte.
    cabecalho_.push_back(byte);
    posicao_ += 1;
    const size_t lidos = cabecalho_.size();
    const bool rar4 = lidos <= kTamanhoAssinaturaRar4 &&
                      std::memcmp(cabecalho_.data(), kAssinaturaRar4, lidos) == 0;
    const bool rar5 = std::memcmp(cabecalho_.data(), kAssinaturaRar5, lidos) == 0;
    if (!rar4 && !rar5) return Falhar(QStringLiteral("não é um arquivo RAR 4 nem RAR 5"));
    if (rar4 && lidos == kTamanhoAssinaturaRar4) {
        formato_ = Formato::kRar4;
    } else if (rar5 && lidos == kTamanhoAssinaturaRar5) {
        formato_ = Formato::kRar5;
    } else {
        return;
    }
    cabecalho_.clear();
    estado_ = Estado::kCabecalho;
}

size_t CabecalhosRar::LerCabecalho(const char* dados, size_t tamanho) {
    if (cabecalho_.empty()) inicioCabecalho_ = posicao_;
    size_t usados = 0;
    if (tamanhoCabecalho_ == 0) {
        // The size comes within the first bytes; they are taken one at a time.
        cabecalho_.push_back(dados[0]);
        usados = 1;
        tamanhoCabecalho_ = TamanhoCabecalho();
        if (estado_ == Estado::kParado) {
            posicao_ += 1;
            return usados;
        }
    }
    if (tamanhoCabecalho_ != 0) {
        const size_t faltam = tamanhoCabecalho_ - cabecalho_.size();
        const size_t copiar = std::min(faltam, tamanho - usados);
        cabecalho_.append(dados + usados, copiar);
        usados += copiar;
    }
    posicao_ += static_cast<int64_t>(usados);
    if (tamanhoCabecalho_ != 0 && cabecalho_.size() == tamanhoCabecalho_) {
        dadosRestantes_ = 0;
        if (formato_ == Formato::kRar4) {
            AnalisarRar4();
        } else {
            AnalisarRar5();
        }
        cabecalho_.clear();
        tamanhoCabecalho_ = 0;
        if (estado_ == Estado::kCabecalho && dadosRestantes_ > 0) estado_ = Estado::kDados;
    }
    return usados;
}

size_t CabecalhosRar::TamanhoCabecalho() {
    const size_t lidos = cabecalho_.size();
    if (formato_ == Formato::kRar4) {
        // CRC16, type, flags, then the size of the header, 7 bytes at least.
        if (lidos < 7) return 0;
        const size_t tamanho = static_cast<size_t>(Le(cabecalho_, 5, 2));
        if (tamanho >= 7) return tamanho;
        Invalido();
        return 0;
    }
    // CRC-32, then the size of the rest as a variable-length integer.
    if (lidos <= 4) return 0;
    if (static_cast<unsigned char>(cabecalho_.back()) & 0x80) {
        if (lidos - 4 == kRar5BytesTamanho) Invalido();
        return 0;
    }
    Campos campos(cabecalho_, 4, lidos);
    const uint64_t resto = campos.Numero();
    if (resto == 0 || resto > kRar5MaiorCabecalho) {
        Invalido();
        return 0;
    }
    return lidos + static_cast<size_t>(resto);
}

void CabecalhosRar::AnalisarRar4() {
    const std::string& h = cabecalho_;
    const size_t tamanho = h.size();
    const auto tipo = static_cast<uint8_t>(h[2]);
    const auto flags = static_cast<uint16_t>(Le(h, 3, 2));
    // The low half of the CRC-32 of the header from its type on.
    const bool crcConfere = (Crc32(h.data() + 2, tamanho - 2) & 0xFFFF) == Le(h, 0, 2);

    if (tipo == kRar4Principal) {
        if (!crcConfere) return CrcErrado();
        if (flags & kRar4VolumeOuCabecalhosCifrados) return NaoAceito();
    } else if (tipo == kRar4Arquivo || tipo == kRar4Servico) {
        const bool grandes = flags & kRar4TamanhosGrandes;
        const size_t fixos = kRar4CabecalhoArquivo + (grandes ? 8 : 0);
        if (tamanho < fixos || fixos + Le(h, 26, 2) > tamanho) return Invalido();
        if (!crcConfere) return CrcErrado();
        if (flags & kRar4DivididaOuCifrada) return NaoAceito();
        const uint64_t compactado = Le(h, 7, 4) | (grandes ? Le(h, 32, 4) << 32 : 0);
        const uint64_t descompactado = Le(h, 11, 4) | (grandes ? Le(h, 36, 4) << 32 : 0);
        if (tipo == kRar4Arquivo) {
            entradas_.push_back({descompactado, static_cast<uint32_t>(Le(h, 16, 4)), false});
        }
        dadosRestantes_ = compactado;
    } else if (tipo >= kRar4ComentarioAntigo && tipo <= kRar4AssinaturaAntiga) {
        if (flags & kRar4ComTamanhoExtra) {
            if (tamanho < 11) return Invalido();
            dadosRestantes_ = Le(h, 7, 4);
        }
    } else if (tipo == kRar4Fim) {
        if (!crcConfere) return CrcErrado();
        if (flags & kRar4ContinuaNoProximoVolume) return NaoAceito();
        estado_ = Estado::kFim;
    } else {
        // A second marker block included: the signature stands only at the start.
        return Invalido();
    }
}

void CabecalhosRar::AnalisarRar5() {
    const std::string& h = cabecalho_;
    if (Crc32(h.data() + 4, h.size() - 4) != Le(h, 0, 4)) return CrcErrado();
    Campos campos(h, 4, h.size());
    campos.Numero();  // the size, already known
    const uint64_t tipo = campos.Numero();
    const uint64_t flags = campos.Numero();
    const uint64_t tamanhoExtra = (flags & kRar5ComExtra) ? campos.Numero() : 0;
    const uint64_t tamanhoDados = (flags & kRar5ComDados) ? campos.Numero() : 0;
    if (!campos.ok() || tamanhoExtra > h.size() - campos.posicao()) return Invalido();
    const size_t inicioExtra = h.size() - static_cast<size_t>(tamanhoExtra);
    if (flags & kRar5DadosEmVolumes) return NaoAceito();
    dadosRestantes_ = tamanhoDados;

    Campos tipoProprio(h, campos.posicao(), inicioExtra);
    if (tipo == kRar5Principal) {
        const uint64_t flagsArquivo = tipoProprio.Numero();
        if (!tipoProprio.ok()) return Invalido();
        if (flagsArquivo & kRar5Volume) return NaoAceito();
    } else if (tipo == kRar5Arquivo || tipo == kRar5Servico) {
        Entrada entrada;
        const uint64_t flagsEntrada = tipoProprio.Numero();
        const uint64_t descompactado = tipoProprio.Numero();
        tipoProprio.Numero();  // attributes
        if (flagsEntrada & kRar5ComHora) tipoProprio.Pular(4);
        if (flagsEntrada & kRar5ComCrc) entrada.crc = tipoProprio.Le32();
        tipoProprio.Numero();                     // compression
        tipoProprio.Numero();                     // host system
        tipoProprio.Pular(tipoProprio.Numero());  // the name
        if (!tipoProprio.ok()) return Invalido();
        if (!(flagsEntrada & kRar5TamanhoDesconhecido)) entrada.tamanho = descompactado;

        // The extra area: records of a size, a type and the type's fields.
        for (size_t posicao = inicioExtra; posicao < h.size();) {
            Campos registro(h, posicao, h.size());
            const uint64_t tamanhoRegistro = registro.Numero();
            const size_t inicioRegistro = registro.posicao();
            const uint64_t tipoRegistro = registro.Numero();
            if (!registro.ok() || tamanhoRegistro == 0 ||
                tamanhoRegistro > h.size() - inicioRegistro) {
                return Invalido();
            }
            if (tipoRegistro == kRar5RegistroCifragem) return NaoAceito();
            if (tipoRegistro == kRar5RegistroRedirecao) entrada.ligacao = true;
            posicao = inicioRegistro + static_cast<size_t>(tamanhoRegistro);
        }
        if (tipo == kRar5Arquivo) entradas_.push_back(entrada);
    } else if (tipo == kRar5Cifragem) {
        return NaoAceito();
    } else if (tipo == kRar5Fim) {
        const uint64_t flagsFim = tipoProprio.Numero();
        if (!tipoProprio.ok() || tamanhoDados != 0) return Invalido();
        if (flagsFim & kRar5Volume) return NaoAceito();
        estado_ = Estado::kFim;
    } else if (!(flags & kRar5IgnorarSeDesconhecido)) {
        return Invalido();
    }
}

void CabecalhosRar::Falhar(const QString& motivo) {
    motivo_ = motivo;
    estado_ = Estado::kParado;
}

void CabecalhosRar::CrcErrado() {
    Falhar(QStringLiteral("o cabeçalho na posição %1 não confere com o seu CRC")
               .arg(inicioCabecalho_));
}

void CabecalhosRar::Invalido() {
    Falhar(QStringLiteral("cabeçalho inválido na posição %1").arg(inicioCabecalho_));
}

void CabecalhosRar::NaoAceito() {
    Falhar(QStringLiteral(
               "o cabeçalho na posição %1 indica volumes ou criptografia, que não são aceitos")
               .arg(inicioCabecalho_));
}

}  // namespace orvalis
