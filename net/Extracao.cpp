#include "net/Extracao.h"

#include "app/Erros.h"
#include "platform/Ansi.h"
#include "platform/Platform.h"

#include <archive.h>
#include <archive_entry.h>
#include <locale.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace orvalis {

namespace {

// Large enough that a stored entry is copied in few calls, small enough that the memory
// used never depends on the archive.
constexpr size_t kTamanhoBloco = size_t{1} << 20;

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

// The archive's bytes for libarchive, read through the platform. The platform's files
// only read forward: a position ahead is reached by reading up to it, one behind by
// opening the file again, and the end (whose offset libarchive asks for before any
// seek) by reading to it once. Only the formats that need random access (7z) seek.
class LeitorArquivo {
  public:
    LeitorArquivo(Platform& plataforma, const QString& caminho)
        : plataforma_(plataforma), caminho_(caminho), bloco_(kTamanhoBloco) {}

    // False, with the platform's error code in erro(), when the file cannot be opened.
    bool Abrir() {
        arquivo_ = plataforma_.NewSequentialFile(caminho_);
        posicao_ = 0;
        cauda_.clear();
        if (arquivo_ == nullptr) erro_ = plataforma_.LastError();
        return arquivo_ != nullptr;
    }
    uint32_t erro() const { return erro_; }

    // Reads what libarchive left unread, up to the end of the file.
    bool LerAteOFim(struct archive* leitura) { return Avancar(leitura, INT64_MAX); }
    // The last bytes read (up to kTamanhoCauda), the end of the file after LerAteOFim.
    const std::string& cauda() const { return cauda_; }
    static constexpr size_t kTamanhoCauda = 64;

    static la_ssize_t Ler(struct archive* leitura, void* leitor, const void** dados) {
        return static_cast<LeitorArquivo*>(leitor)->Ler(leitura, dados);
    }
    static la_int64_t Posicionar(struct archive* leitura, void* leitor, la_int64_t deslocamento,
                                 int origem) {
        return static_cast<LeitorArquivo*>(leitor)->Posicionar(leitura, deslocamento, origem);
    }

  private:
    la_ssize_t Ler(struct archive* leitura, const void** dados) {
        // A reopening that failed leaves no file to read.
        if (arquivo_ == nullptr) return FalhaLeitura(leitura);
        const int64_t lidos = arquivo_->Read(bloco_.data(), bloco_.size());
        if (lidos < 0) return FalhaLeitura(leitura);
        Registrar(lidos);
        if (lidos == 0) tamanho_ = posicao_;
        *dados = bloco_.data();
        return static_cast<la_ssize_t>(lidos);
    }

    la_int64_t Posicionar(struct archive* leitura, la_int64_t deslocamento, int origem) {
        int64_t base = 0;
        if (origem == SEEK_CUR) {
            base = posicao_;
        } else if (origem == SEEK_END) {
            if (tamanho_ < 0 && !Avancar(leitura, INT64_MAX)) return ARCHIVE_FATAL;
            base = tamanho_;
        }
        const int64_t alvo = base + deslocamento;
        if (alvo < 0) {
            archive_set_error(leitura, EINVAL, "posição antes do início do arquivo");
            return ARCHIVE_FATAL;
        }
        if (alvo < posicao_ && !Abrir()) return FalhaLeitura(leitura);
        if (!Avancar(leitura, alvo)) return ARCHIVE_FATAL;
        return posicao_;
    }

    // Reads forward to `alvo`, or to the end of the file when it comes first (as a seek
    // past the end of a file gives its end here).
    bool Avancar(struct archive* leitura, int64_t alvo) {
        if (arquivo_ == nullptr) {
            FalhaLeitura(leitura);
            return false;
        }
        while (posicao_ < alvo) {
            const size_t pedido = static_cast<size_t>(
                std::min<int64_t>(alvo - posicao_, static_cast<int64_t>(bloco_.size())));
            const int64_t lidos = arquivo_->Read(bloco_.data(), pedido);
            if (lidos < 0) {
                FalhaLeitura(leitura);
                return false;
            }
            if (lidos == 0) {
                tamanho_ = posicao_;
                break;
            }
            Registrar(lidos);
        }
        return true;
    }

    // Counts `lidos` bytes just read into the block and keeps the last of them.
    void Registrar(int64_t lidos) {
        posicao_ += lidos;
        const size_t novos = static_cast<size_t>(lidos);
        const size_t guardados = std::min(novos, kTamanhoCauda);
        cauda_.append(bloco_.data() + novos - guardados, guardados);
        if (cauda_.size() > kTamanhoCauda) cauda_.erase(0, cauda_.size() - kTamanhoCauda);
    }

    int FalhaLeitura(struct archive* leitura) {
        erro_ = plataforma_.LastError();
        archive_set_error(leitura, EIO, "%s",
                          ToUtf8(plataforma_.SystemErrorMessage(erro_)).c_str());
        return ARCHIVE_FATAL;
    }

    Platform& plataforma_;
    QString caminho_;
    std::vector<char> bloco_;
    std::unique_ptr<SequentialFile> arquivo_;
    int64_t posicao_ = 0;
    int64_t tamanho_ = -1;  // known once the end has been read
    std::string cauda_;
    uint32_t erro_ = winerror::kSuccess;
};

struct LiberarLeitura {
    void operator()(struct archive* leitura) const { archive_read_free(leitura); }
};
using Leitura = std::unique_ptr<struct archive, LiberarLeitura>;

// Every format libarchive reads, as archive_read_support_format_all() registers them,
// but zip by its stream reader alone: the random-access one would read the whole
// archive to find its end before the first entry.
void SuportarFormatos(struct archive* leitura) {
    archive_read_support_format_7zip(leitura);
    archive_read_support_format_ar(leitura);
    archive_read_support_format_cab(leitura);
    archive_read_support_format_cpio(leitura);
    archive_read_support_format_empty(leitura);
    archive_read_support_format_iso9660(leitura);
    archive_read_support_format_lha(leitura);
    archive_read_support_format_mtree(leitura);
    archive_read_support_format_rar(leitura);
    archive_read_support_format_rar5(leitura);
    archive_read_support_format_tar(leitura);
    archive_read_support_format_warc(leitura);
    archive_read_support_format_xar(leitura);
    archive_read_support_format_zip_streamable(leitura);
}

uint32_t Crc32(const char* dados, size_t tamanho) {
    static const std::array<uint32_t, 256> kTabela = [] {
        std::array<uint32_t, 256> tabela{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            tabela[i] = c;
        }
        return tabela;
    }();
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < tamanho; ++i) {
        crc = kTabela[(crc ^ static_cast<unsigned char>(dados[i])) & 0xFF] ^ (crc >> 8);
    }
    return ~crc;
}

uint32_t Le(const std::string& bytes, size_t inicio, size_t tamanho) {
    uint32_t valor = 0;
    for (size_t i = tamanho; i > 0; --i) {
        valor = (valor << 8) | static_cast<unsigned char>(bytes[inicio + i - 1]);
    }
    return valor;
}

// libarchive ends a RAR archive without an error wherever the bytes run out between two
// blocks, and inside a RAR 5 header too; only the end-of-archive block, which the
// archiver always writes last, shows that nothing was cut off. Its CRC is checked, so
// bytes of a file cannot pass for it.
//
// RAR 4: CRC16 (low half of the CRC-32 from the type on), type 0x7B, flags, size.
bool TerminaComFimRar4(const std::string& cauda) {
    for (size_t tamanho = 7; tamanho <= cauda.size(); ++tamanho) {
        const size_t inicio = cauda.size() - tamanho;
        if (static_cast<unsigned char>(cauda[inicio + 2]) == 0x7B &&
            Le(cauda, inicio + 5, 2) == tamanho &&
            (Crc32(cauda.data() + inicio + 2, tamanho - 2) & 0xFFFF) == Le(cauda, inicio, 2)) {
            return true;
        }
    }
    return false;
}

// RAR 5: CRC-32 (from the size on), the size of the rest (one byte here), type 5.
bool TerminaComFimRar5(const std::string& cauda) {
    for (size_t resto = 3; resto + 5 <= cauda.size() && resto < 0x80; ++resto) {
        const size_t tamanho = cauda.size() - resto - 1;
        if (static_cast<unsigned char>(cauda[tamanho]) == resto &&
            static_cast<unsigned char>(cauda[tamanho + 1]) == 5 &&
            Crc32(cauda.data() + tamanho, resto + 1) == Le(cauda, tamanho - 4, 4)) {
            return true;
        }
    }
    return false;
}

[[noreturn]] void ArquivoDanificado(const QString& arquivo, struct archive* leitura) {
    const char* motivo = archive_error_string(leitura);
    throw ErroOrvalis(QStringLiteral("O arquivo compactado ") + arquivo +
                      QStringLiteral(" está danificado ou incompleto: ") +
                      (motivo != nullptr ? FromUtf8(motivo) : QStringLiteral("erro de leitura")));
}

[[noreturn]] void GravacaoImpossivel(Platform& plataforma, const QString& caminho, uint32_t erro) {
    throw ErroOrvalis(QStringLiteral("Não foi possível gravar o arquivo ") + caminho +
                      QStringLiteral(": ") + plataforma.SystemErrorMessage(erro));
}

// The stored path's last component; empty for a path that ends in a separator.
QString NomeBase(struct archive_entry* entrada) {
    const char* caminho = archive_entry_pathname_utf8(entrada);
    if (caminho == nullptr) caminho = archive_entry_pathname(entrada);
    if (caminho == nullptr) return QString();
    const QString texto = FromUtf8(caminho);
    const qsizetype separador =
        std::max(texto.lastIndexOf(QLatin1Char('/')), texto.lastIndexOf(QLatin1Char('\\')));
    return texto.mid(separador + 1);
}

// A name that a Windows folder can hold as one file of its own: a drive prefix, a
// wildcard or a control character would make the target another file or none.
bool NomeGravavel(const QString& nome) {
    if (nome.isEmpty() || nome == QStringLiteral(".") || nome == QStringLiteral("..")) {
        return false;
    }
    static const QString kProibidos = QStringLiteral("<>:\"|?*");
    return std::none_of(nome.begin(), nome.end(),
                        [](QChar c) { return c.unicode() < 32 || kProibidos.contains(c); });
}

bool ArquivoComum(struct archive_entry* entrada) {
    return archive_entry_filetype(entrada) == AE_IFREG &&
           archive_entry_hardlink(entrada) == nullptr;
}

// Copies the current entry's data into `caminho`, a file that does not exist yet.
// Returns false when the name exists: the old file is kept and the entry skipped.
// Any other failure removes what it created and raises.
bool GravarEntrada(Platform& plataforma, struct archive* leitura, const QString& arquivo,
                   const QString& caminho) {
    std::unique_ptr<WritableFile> destino =
        plataforma.NewWritableFile(caminho, CreateMode::kCreateNew);
    if (destino == nullptr) {
        const uint32_t erro = plataforma.LastError();
        if (erro == winerror::kFileExists || erro == winerror::kAlreadyExists) return false;
        GravacaoImpossivel(plataforma, caminho, erro);
    }
    // From here the file is this entry's own: a failure takes it away again.
    auto desfazer = [&] {
        destino.reset();
        plataforma.DeleteFile(caminho);
    };
    static const std::vector<char> kZeros(64 * 1024, '\0');
    int64_t gravados = 0;
    for (;;) {
        const void* dados = nullptr;
        size_t tamanho = 0;
        la_int64_t deslocamento = 0;
        const int resultado = archive_read_data_block(leitura, &dados, &tamanho, &deslocamento);
        if (resultado == ARCHIVE_EOF) break;
        // A warning on data is a checksum that does not match.
        if (resultado != ARCHIVE_OK || deslocamento < gravados) {
            desfazer();
            ArquivoDanificado(arquivo, leitura);
        }
        bool gravou = true;
        // A hole of a sparse entry is written out: the file is whole on any disk.
        while (gravou && gravados < deslocamento) {
            const size_t zeros =
                static_cast<size_t>(std::min<int64_t>(deslocamento - gravados, kZeros.size()));
            gravou = destino->Append(kZeros.data(), zeros);
            gravados += static_cast<int64_t>(zeros);
        }
        gravou = gravou && destino->Append(static_cast<const char*>(dados), tamanho);
        if (!gravou) {
            const uint32_t erro = plataforma.LastError();
            desfazer();
            GravacaoImpossivel(plataforma, caminho, erro);
        }
        gravados += static_cast<int64_t>(tamanho);
    }
    if (!destino->Close()) {
        const uint32_t erro = plataforma.LastError();
        desfazer();
        GravacaoImpossivel(plataforma, caminho, erro);
    }
    return true;
}

}  // namespace

void ExtrairArquivo(Platform& plataforma, const QString& /*pastaExtrator*/, const QString& arquivo,
                    const QString& pastaDestino) {
    CaracteresUtf8 utf8;
    LeitorArquivo leitor(plataforma, arquivo);
    if (!leitor.Abrir()) {
        throw ErroOrvalis(QStringLiteral("Não foi possível abrir o arquivo compactado ") + arquivo +
                          QStringLiteral(": ") + plataforma.SystemErrorMessage(leitor.erro()));
    }
    Leitura leitura(archive_read_new());
    if (leitura == nullptr) throw std::bad_alloc();
    archive_read_support_filter_all(leitura.get());
    SuportarFormatos(leitura.get());
    archive_read_set_read_callback(leitura.get(), &LeitorArquivo::Ler);
    archive_read_set_seek_callback(leitura.get(), &LeitorArquivo::Posicionar);
    archive_read_set_callback_data(leitura.get(), &leitor);
    if (archive_read_open1(leitura.get()) != ARCHIVE_OK) {
        ArquivoDanificado(arquivo, leitura.get());
    }

    struct archive_entry* entrada = nullptr;
    for (;;) {
        const int resultado = archive_read_next_header(leitura.get(), &entrada);
        if (resultado == ARCHIVE_EOF) break;
        // A warning on a header (a name in an odd character set) still gives the entry.
        if (resultado != ARCHIVE_OK && resultado != ARCHIVE_WARN) {
            ArquivoDanificado(arquivo, leitura.get());
        }
        const QString nome = NomeBase(entrada);
        if (!ArquivoComum(entrada) || !NomeGravavel(nome)) continue;
        GravarEntrada(plataforma, leitura.get(), arquivo, pastaDestino + QLatin1Char('\\') + nome);
    }
    const int formato = archive_format(leitura.get()) & ARCHIVE_FORMAT_BASE_MASK;
    // An empty file is read as an empty archive; as a package it is a failed download.
    if (formato == ARCHIVE_FORMAT_EMPTY) {
        throw ErroOrvalis(QStringLiteral("O arquivo ") + arquivo +
                          QStringLiteral(" não é um arquivo compactado."));
    }
    if (formato == ARCHIVE_FORMAT_RAR || formato == ARCHIVE_FORMAT_RAR_V5) {
        if (!leitor.LerAteOFim(leitura.get())) ArquivoDanificado(arquivo, leitura.get());
        const bool completo = formato == ARCHIVE_FORMAT_RAR ? TerminaComFimRar4(leitor.cauda())
                                                            : TerminaComFimRar5(leitor.cauda());
        if (!completo) {
            throw ErroOrvalis(QStringLiteral("O arquivo compactado ") + arquivo +
                              QStringLiteral(" está incompleto: falta o fim do arquivo."));
        }
    }
}

}  // namespace orvalis
