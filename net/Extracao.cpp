#include "net/Extracao.h"

#include "app/Erros.h"
#include "net/CabecalhosRar.h"
#include "net/CrcEmParalelo.h"
#include "net/EspacoLivre.h"
#include "platform/Ansi.h"
#include "platform/Platform.h"

#include <QStringList>

#include <archive.h>
#include <archive_entry.h>
#include <locale.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvalis {

namespace {

// Large enough that a stored entry is copied in few calls, small enough that the memory
// used never depends on the archive.
constexpr size_t kTamanhoBloco = size_t{1} << 20;

// While an entry is written, the free space is asked again after this many bytes.
constexpr uint64_t kIntervaloEspaco = uint64_t{16} << 20;

// libarchive hands out stored names in the C library's character set of the moment.
// Within the extraction this thread's character set is UTF-8, so that a name such as
// "AtualizaçãoDiaria.exe" arrives whole whatever locale the process runs under.
class CaracteresUtf8 {
  public:
    CaracteresUtf8() : utf8_(newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr)) {
        if (utf8_ != nullptr) anterior_ = uselocale(utf8_);
    }
    ~CaracteresUtf8() {
        if (utf8_ == nullptr) return;
        uselocale(anterior_);
        freelocale(utf8_);
    }
    CaracteresUtf8(const CaracteresUtf8&) = delete;
    CaracteresUtf8& operator=(const CaracteresUtf8&) = delete;

  private:
    locale_t utf8_;
    locale_t anterior_ = nullptr;
};

// The archive's bytes for libarchive, read through the platform from the first to the
// last, each once: every byte that libarchive sees goes to the header walker first, in
// the same order. No seek callback is given, so that this holds: libarchive then skips
// by reading, and the RAR readers never go back.
//
// libarchive hands out a stored entry's data as pieces of the blocks read here, and
// leaves a block once it asks for the next: the blocks are read into two buffers in
// turn, and a buffer is read into again only once the CRC thread has done the pieces
// it gave of it, so that neither waits for the other.
class LeitorArquivo {
  public:
    LeitorArquivo(Platform& plataforma, const QString& caminho, CabecalhosRar& cabecalhos,
                  CrcEmParalelo& crc, const ProgressRoutine& progresso)
        : plataforma_(plataforma),
          caminho_(caminho),
          progresso_(progresso),
          cabecalhos_(cabecalhos),
          crc_(crc),
          blocos_{std::vector<char>(kTamanhoBloco), std::vector<char>(kTamanhoBloco)} {}
    ~LeitorArquivo() { crc_.Esperar(); }
    LeitorArquivo(const LeitorArquivo&) = delete;
    LeitorArquivo& operator=(const LeitorArquivo&) = delete;

    // Hands a piece of data to the CRC thread. A piece in a block read here stays valid
    // until that buffer is read into again; any other (libarchive's own memory, valid
    // until libarchive is asked for more) is copied first, into one of two buffers of
    // its own taken in turn in the same way.
    void SomarCrc(const void* dados, size_t tamanho) {
        const char* pedaco = static_cast<const char*>(dados);
        for (size_t i = 0; i < blocos_.size(); ++i) {
            if (Dentro(blocos_[i], pedaco, tamanho)) {
                marcas_[i] = crc_.Somar(pedaco, tamanho);
                return;
            }
        }
        copia_ = 1 - copia_;
        crc_.EsperarAte(marcasCopias_[copia_]);
        copias_[copia_].assign(pedaco, pedaco + tamanho);
        marcasCopias_[copia_] = crc_.Somar(copias_[copia_].data(), tamanho);
    }

    // False, with the platform's error code in erro(), when the file cannot be opened.
    bool Abrir() {
        FileInformation informacao;
        if (progresso_ && plataforma_.GetFileInformation(caminho_, &informacao)) {
            tamanho_ = informacao.size;
        }
        arquivo_ = plataforma_.NewSequentialFile(caminho_);
        if (arquivo_ == nullptr) erro_ = plataforma_.LastError();
        if (arquivo_ != nullptr && progresso_) progresso_(0, tamanho_);
        return arquivo_ != nullptr;
    }
    uint32_t erro() const { return erro_; }
    // The file has been read to its end and held nothing.
    bool vazio() const { return fim_ && posicao_ == 0; }

    // Reads what libarchive left unread, up to the end of the file, for the walker; a
    // defect it finds ends the reading.
    bool LerAteOFim(struct archive* leitura) {
        while (!fim_ && !cabecalhos_.defeituoso()) {
            if (Ler(leitura) < 0) return false;
        }
        return true;
    }

    static la_ssize_t Ler(struct archive* leitura, void* leitor, const void** dados) {
        return static_cast<LeitorArquivo*>(leitor)->Ler(leitura, dados);
    }

  private:
    static bool Dentro(const std::vector<char>& buffer, const char* pedaco, size_t tamanho) {
        const auto inicio = reinterpret_cast<uintptr_t>(buffer.data());
        const auto endereco = reinterpret_cast<uintptr_t>(pedaco);
        return endereco >= inicio && endereco - inicio <= buffer.size() &&
               tamanho <= buffer.size() - (endereco - inicio);
    }

    la_ssize_t Ler(struct archive* leitura, const void** dados = nullptr) {
        if (fim_) return 0;
        atual_ = 1 - atual_;
        std::vector<char>& bloco = blocos_[atual_];
        crc_.EsperarAte(marcas_[atual_]);
        if (dados != nullptr) *dados = bloco.data();
        const int64_t lidos = arquivo_->Read(bloco.data(), bloco.size());
        if (lidos < 0) {
            erro_ = plataforma_.LastError();
            archive_set_error(leitura, EIO, "%s",
                              ToUtf8(plataforma_.SystemErrorMessage(erro_)).c_str());
            return ARCHIVE_FATAL;
        }
        if (lidos == 0) {
            fim_ = true;
            cabecalhos_.Terminar();
        }
        cabecalhos_.Receber(bloco.data(), static_cast<size_t>(lidos));
        posicao_ += lidos;
        // How far the extraction is: the archive is read once, from its start to its end.
        if (progresso_) progresso_(posicao_, tamanho_);
        return static_cast<la_ssize_t>(lidos);
    }

    Platform& plataforma_;
    QString caminho_;
    ProgressRoutine progresso_;
    int64_t tamanho_ = -1;
    CabecalhosRar& cabecalhos_;
    CrcEmParalelo& crc_;
    std::array<std::vector<char>, 2> blocos_;
    std::array<uint64_t, 2> marcas_{};  // of the last piece given of each buffer
    size_t atual_ = 1;                  // the buffer read into last
    std::array<std::vector<char>, 2> copias_;
    std::array<uint64_t, 2> marcasCopias_{};
    size_t copia_ = 1;
    std::unique_ptr<SequentialFile> arquivo_;
    int64_t posicao_ = 0;
    bool fim_ = false;
    uint32_t erro_ = winerror::kSuccess;
};

struct LiberarLeitura {
    void operator()(struct archive* leitura) const { archive_read_free(leitura); }
};
using Leitura = std::unique_ptr<struct archive, LiberarLeitura>;

[[noreturn]] void ArquivoDanificado(const QString& arquivo, const QString& motivo) {
    throw ErroOrvalis(QStringLiteral("O arquivo compactado ") + arquivo +
                      QStringLiteral(" está danificado ou incompleto: ") + motivo);
}

// The walker's reason when it found a defect (it reads ahead of libarchive, and in
// Portuguese), otherwise libarchive's.
QString Motivo(struct archive* leitura, const CabecalhosRar& cabecalhos) {
    if (cabecalhos.defeituoso()) return cabecalhos.motivo();
    const char* motivo = archive_error_string(leitura);
    return motivo != nullptr ? FromUtf8(motivo) : QStringLiteral("erro de leitura");
}

[[noreturn]] void GravacaoImpossivel(Platform& plataforma, const QString& caminho, uint32_t erro) {
    throw ErroOrvalis(QStringLiteral("Não foi possível gravar o arquivo ") + caminho +
                      QStringLiteral(": ") + plataforma.SystemErrorMessage(erro));
}

// The stored path, as libarchive gives it.
QString CaminhoGuardado(struct archive_entry* entrada) {
    const char* caminho = archive_entry_pathname_utf8(entrada);
    if (caminho == nullptr) caminho = archive_entry_pathname(entrada);
    return caminho != nullptr ? FromUtf8(caminho) : QString();
}

// The stored path's last component; empty for a path that ends in a separator.
QString NomeBase(const QString& caminho) {
    const qsizetype separador =
        std::max(caminho.lastIndexOf(QLatin1Char('/')), caminho.lastIndexOf(QLatin1Char('\\')));
    return caminho.mid(separador + 1);
}

// A name that a Windows folder holds as a file of that very name: no wildcard, drive or
// control character, no dot or blank at the end (Windows drops them), and not a device
// (CON, PRN, AUX, NUL, COM0 to COM9, LPT0 to LPT9, with the superscript digits too, and
// the console's CONIN$ and CONOUT$), whatever follows the first dot and whatever the
// letter case, blanks before that dot ignored.
bool NomeAceitoPeloWindows(const QString& nome) {
    if (nome.isEmpty()) return false;
    static const QString kProibidos = QStringLiteral("<>:\"|?*");
    const bool caractereProibido = std::any_of(nome.begin(), nome.end(), [](QChar c) {
        return c.unicode() < 32 || kProibidos.contains(c);
    });
    if (caractereProibido || nome.endsWith(QLatin1Char('.')) || nome.endsWith(QLatin1Char(' '))) {
        return false;
    }
    QString raiz = nome.left(nome.indexOf(QLatin1Char('.'))).toUpper();
    while (raiz.endsWith(QLatin1Char(' '))) raiz.chop(1);
    static const QStringList kDispositivos = {QStringLiteral("CON"),    QStringLiteral("PRN"),
                                              QStringLiteral("AUX"),    QStringLiteral("NUL"),
                                              QStringLiteral("CONIN$"), QStringLiteral("CONOUT$")};
    if (kDispositivos.contains(raiz)) return false;
    if (raiz.size() == 4 &&
        (raiz.startsWith(QStringLiteral("COM")) || raiz.startsWith(QStringLiteral("LPT")))) {
        const char16_t digito = raiz[3].unicode();
        const bool numerado = (digito >= u'0' && digito <= u'9') || digito == u'\u00B9' ||
                              digito == u'\u00B2' || digito == u'\u00B3';
        if (numerado) return false;
    }
    return true;
}

// One entry's data, read from libarchive and, unless the name already exists in the
// target folder, written into it; either way counted against the size its header
// declares and checked against its CRC-32.
class CopiaEntrada {
  public:
    CopiaEntrada(Platform& plataforma, struct archive* leitura, LeitorArquivo& leitor,
                 const CabecalhosRar& cabecalhos, CrcEmParalelo& crc, const QString& arquivo,
                 const QString& pastaDestino)
        : plataforma_(plataforma),
          leitura_(leitura),
          leitor_(leitor),
          cabecalhos_(cabecalhos),
          crc_(crc),
          arquivo_(arquivo),
          pastaDestino_(pastaDestino) {}
    CopiaEntrada(const CopiaEntrada&) = delete;
    CopiaEntrada& operator=(const CopiaEntrada&) = delete;

    // Checks the entry's kind and name against its header `cabecalho`, then copies its
    // data out. A folder is passed over. Raises on anything refused; the entry's own
    // file is then removed.
    void Extrair(struct archive_entry* entrada, const CabecalhosRar::Entrada& cabecalho) {
        caminho_ = CaminhoGuardado(entrada);
        cabecalho_ = cabecalho;
        const auto tipo = archive_entry_filetype(entrada);
        const bool ligacao = cabecalho.ligacao || archive_entry_hardlink(entrada) != nullptr ||
                             archive_entry_symlink(entrada) != nullptr;
        if (ligacao || (tipo != AE_IFREG && tipo != AE_IFDIR)) {
            Danificada(QStringLiteral("a entrada %1 não é um arquivo comum nem uma pasta "
                                      "(é um link, um dispositivo, um FIFO ou um soquete)")
                           .arg(caminho_));
        }
        // The folders stored in the archive are not made.
        if (tipo == AE_IFDIR) return;
        if (archive_entry_sparse_count(entrada) > 0) {
            Danificada(QStringLiteral("a entrada %1 é um arquivo esparso").arg(caminho_));
        }
        const QString nome = NomeBase(caminho_);
        if (!NomeAceitoPeloWindows(nome)) {
            Danificada(
                QStringLiteral("o nome da entrada %1 não é aceito pelo Windows").arg(caminho_));
        }
        if (archive_entry_size_is_set(entrada) &&
            (!cabecalho.tamanho ||
             static_cast<uint64_t>(archive_entry_size(entrada)) != *cabecalho.tamanho)) {
            TamanhoErrado();
        }
        // An entry that declares no data has nothing to check.
        if (!cabecalho.crc && cabecalho.tamanho != 0u) {
            Danificada(QStringLiteral("a entrada %1 não tem CRC-32 no cabeçalho").arg(caminho_));
        }
        destino_ = pastaDestino_ + QLatin1Char('\\') + nome;
        Abrir();
        Copiar();
    }

  private:
    // Creates the entry's file; a name that exists, in any letter case, keeps its file
    // and the data is only read and checked. The free space is checked before anything
    // is written.
    void Abrir() {
        arquivoDestino_ = plataforma_.NewWritableFile(destino_, CreateMode::kCreateNew);
        if (arquivoDestino_ == nullptr) {
            const uint32_t erro = plataforma_.LastError();
            if (erro == winerror::kFileExists || erro == winerror::kAlreadyExists) return;
            GravacaoImpossivel(plataforma_, destino_, erro);
        }
        ConferirEspaco(0);
    }

    void Copiar() {
        crc_.Reiniciar();
        uint64_t lidos = 0;
        uint64_t consultado = 0;
        for (;;) {
            const void* dados = nullptr;
            size_t tamanho = 0;
            la_int64_t deslocamento = 0;
            const int resultado =
                archive_read_data_block(leitura_, &dados, &tamanho, &deslocamento);
            if (resultado == ARCHIVE_EOF) break;
            // A warning on data is a checksum that does not match.
            if (resultado != ARCHIVE_OK) Danificada(Motivo(leitura_, cabecalhos_));
            // A jump is a hole: the entry is sparse.
            if (deslocamento < 0 || static_cast<uint64_t>(deslocamento) != lidos) {
                Danificada(QStringLiteral("a entrada %1 é um arquivo esparso").arg(caminho_));
            }
            if (cabecalho_.tamanho && tamanho > *cabecalho_.tamanho - lidos) TamanhoErrado();
            // The block's CRC is computed while blocks are written.
            leitor_.SomarCrc(dados, tamanho);
            if (arquivoDestino_ != nullptr) {
                if (lidos - consultado >= kIntervaloEspaco) {
                    ConferirEspaco(lidos);
                    consultado = lidos;
                }
                if (!arquivoDestino_->Append(static_cast<const char*>(dados), tamanho)) {
                    FalhaGravacao();
                }
            }
            lidos += tamanho;
        }
        if (cabecalho_.tamanho && lidos != *cabecalho_.tamanho) TamanhoErrado();
        if (cabecalho_.crc && crc_.Valor() != *cabecalho_.crc) {
            Danificada(QStringLiteral("os dados da entrada %1 não conferem com o CRC-32 do "
                                      "cabeçalho")
                           .arg(caminho_));
        }
        if (arquivoDestino_ != nullptr && !arquivoDestino_->Close()) FalhaGravacao();
    }

    // Refuses the entry when what is still to be written, `lidos` bytes being written
    // already, would leave under kLivreMinimo free on the target drive.
    void ConferirEspaco(uint64_t lidos) {
        uint64_t livres = 0;
        if (!plataforma_.GetDiskFreeSpaceEx(pastaDestino_, &livres)) {
            const uint32_t erro = plataforma_.LastError();
            Desfazer();
            throw ErroOrvalis(QStringLiteral("Não foi possível consultar o espaço livre da "
                                             "unidade da pasta ") +
                              pastaDestino_ + QStringLiteral(": ") +
                              plataforma_.SystemErrorMessage(erro));
        }
        const uint64_t faltam = cabecalho_.tamanho ? *cabecalho_.tamanho - lidos : 0;
        if (DeixaLivre(livres, faltam)) return;
        QString quanto;
        if (!cabecalho_.tamanho) {
            quanto = QStringLiteral("ela não declara o tamanho");
        } else if (lidos == 0) {
            quanto = QStringLiteral("ela tem %1 bytes").arg(faltam);
        } else {
            quanto = QStringLiteral("faltam %1 bytes").arg(faltam);
        }
        Desfazer();
        throw ErroOrvalis(
            QStringLiteral("A entrada ") + caminho_ + QStringLiteral(" do arquivo compactado ") +
            arquivo_ + QStringLiteral(" foi recusada") +
            (lidos > 0 ? QStringLiteral(" durante a gravação") : QString()) + QStringLiteral(": ") +
            quanto + QStringLiteral(", e a unidade da pasta ") + pastaDestino_ +
            QStringLiteral(" tem %1 bytes livres; a extração deixa ao menos 1 GiB "
                           "livre na unidade.")
                .arg(livres));
    }

    [[noreturn]] void TamanhoErrado() {
        Danificada(
            QStringLiteral("a entrada %1 não tem o tamanho que o cabeçalho declara").arg(caminho_));
    }

    [[noreturn]] void Danificada(const QString& motivo) {
        Desfazer();
        ArquivoDanificado(arquivo_, motivo);
    }

    [[noreturn]] void FalhaGravacao() {
        const uint32_t erro = plataforma_.LastError();
        Desfazer();
        GravacaoImpossivel(plataforma_, destino_, erro);
    }

    // Takes away the file this entry created, if any.
    void Desfazer() {
        if (arquivoDestino_ == nullptr) return;
        arquivoDestino_.reset();
        plataforma_.DeleteFile(destino_);
    }

    Platform& plataforma_;
    struct archive* leitura_;
    LeitorArquivo& leitor_;
    const CabecalhosRar& cabecalhos_;
    CrcEmParalelo& crc_;
    const QString& arquivo_;
    const QString& pastaDestino_;
    QString caminho_;
    CabecalhosRar::Entrada cabecalho_;
    QString destino_;
    std::unique_ptr<WritableFile> arquivoDestino_;
};

}  // namespace

void ExtrairArquivo(Platform& plataforma, const QString& /*pastaExtrator*/, const QString& arquivo,
                    const QString& pastaDestino, const ProgressRoutine& progresso) {
    CaracteresUtf8 utf8;
    CabecalhosRar cabecalhos;
    CrcEmParalelo crc;
    LeitorArquivo leitor(plataforma, arquivo, cabecalhos, crc, progresso);
    if (!leitor.Abrir()) {
        throw ErroOrvalis(QStringLiteral("Não foi possível abrir o arquivo compactado ") + arquivo +
                          QStringLiteral(": ") + plataforma.SystemErrorMessage(leitor.erro()));
    }
    Leitura leitura(archive_read_new());
    if (leitura == nullptr) throw std::bad_alloc();
    // The vendor's formats alone, and no filter: a filter may start an outside program.
    archive_read_support_format_rar(leitura.get());
    archive_read_support_format_rar5(leitura.get());
    archive_read_set_read_callback(leitura.get(), &LeitorArquivo::Ler);
    archive_read_set_callback_data(leitura.get(), &leitor);
    if (archive_read_open1(leitura.get()) != ARCHIVE_OK) {
        // An empty file is a failed download rather than an archive.
        if (leitor.vazio()) {
            throw ErroOrvalis(QStringLiteral("O arquivo ") + arquivo +
                              QStringLiteral(" não é um arquivo compactado."));
        }
        ArquivoDanificado(arquivo, Motivo(leitura.get(), cabecalhos));
    }

    for (;;) {
        struct archive_entry* entrada = nullptr;
        const int resultado = archive_read_next_header(leitura.get(), &entrada);
        if (resultado == ARCHIVE_EOF) break;
        // A warning on a header (a name in an odd character set) still gives the entry.
        if (resultado != ARCHIVE_OK && resultado != ARCHIVE_WARN) {
            ArquivoDanificado(arquivo, Motivo(leitura.get(), cabecalhos));
        }
        // libarchive has read this entry's header, so the walker has read it too: the
        // entry belongs to the next file header of the walker's queue.
        const std::optional<CabecalhosRar::Entrada> cabecalho = cabecalhos.Proxima();
        if (!cabecalho) {
            ArquivoDanificado(arquivo, cabecalhos.defeituoso()
                                           ? cabecalhos.motivo()
                                           : QStringLiteral("as entradas não correspondem aos "
                                                            "cabeçalhos de arquivo"));
        }
        CopiaEntrada(plataforma, leitura.get(), leitor, cabecalhos, crc, arquivo, pastaDestino)
            .Extrair(entrada, *cabecalho);
    }
    // libarchive stops at the end block, and also, without an error, wherever the bytes
    // run out between two blocks: the walker reads on to the end of the file to tell.
    if (!leitor.LerAteOFim(leitura.get())) {
        ArquivoDanificado(arquivo, Motivo(leitura.get(), cabecalhos));
    }
    if (cabecalhos.defeituoso()) ArquivoDanificado(arquivo, cabecalhos.motivo());
    if (!cabecalhos.fimLido()) {
        throw ErroOrvalis(QStringLiteral("O arquivo compactado ") + arquivo +
                          QStringLiteral(" está incompleto: falta o fim do arquivo."));
    }
    if (cabecalhos.restamEntradas()) {
        ArquivoDanificado(arquivo,
                          QStringLiteral("as entradas não correspondem aos cabeçalhos de arquivo"));
    }
}

}  // namespace orvalis
