#include "app/Erros.h"
#include "net/Extracao.h"
#include "platform/PlatformWrapper.h"
#include "tests/fixtures/EscritorRar4.h"
#include "tests/fixtures/EscritorRar5.h"
#include "tests/fixtures/ImpressaoQt.h"
#include "tests/support/InstalacaoTemporaria.h"
#include "tests/support/PlataformaFalhas.h"

#include <archive.h>
#include <archive_entry.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <locale.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orvalis {
namespace {

using teste::EntradaCompactada;
using teste::EscritorRar4;
using teste::EscritorRar5;
using teste::InstalacaoTemporaria;
using teste::PlataformaFalhas;
using Tipo = EntradaCompactada::Tipo;

const QString kPastaPacotes = InstalacaoTemporaria::kRaizServidor + "\\Pacotes";
const QString kDestino = InstalacaoTemporaria::kPastaEstacao;
const QString kPastaExtrator = InstalacaoTemporaria::kPastaMestre;

// What libarchive reports for one entry.
struct EntradaLida {
    std::string caminho;
    Tipo tipo;
    std::string dados;  // the content, or the link's target

    bool operator==(const EntradaLida&) const = default;
};

void PrintTo(const EntradaLida& e, std::ostream* os) {
    *os << "{" << e.caminho << ", " << static_cast<int>(e.tipo) << ", " << e.dados.size()
        << " bytes}";
}

// Lists an archive in memory with libarchive. Returns false, with the reason, when
// libarchive reports an error.
bool Listar(const std::string& arquivo, std::vector<EntradaLida>* entradas, std::string* erro) {
    // Names outside ASCII reach the caller in the thread's character set.
    const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
    const locale_t anterior = uselocale(utf8);
    struct Restaurar {
        locale_t anterior, utf8;
        ~Restaurar() {
            uselocale(anterior);
            freelocale(utf8);
        }
    } restaurar{anterior, utf8};
    std::unique_ptr<struct archive, decltype(&archive_read_free)> leitura(archive_read_new(),
                                                                          &archive_read_free);
    archive_read_support_filter_all(leitura.get());
    archive_read_support_format_all(leitura.get());
    auto falha = [&] {
        *erro = archive_error_string(leitura.get()) ? archive_error_string(leitura.get()) : "?";
        return false;
    };
    if (archive_read_open_memory(leitura.get(), arquivo.data(), arquivo.size()) != ARCHIVE_OK) {
        return falha();
    }
    struct archive_entry* entrada = nullptr;
    for (;;) {
        const int r = archive_read_next_header(leitura.get(), &entrada);
        if (r == ARCHIVE_EOF) return true;
        if (r != ARCHIVE_OK) return falha();
        EntradaLida lida{archive_entry_pathname(entrada), Tipo::kArquivo, {}};
        if (archive_entry_filetype(entrada) == AE_IFDIR) lida.tipo = Tipo::kPasta;
        if (archive_entry_filetype(entrada) == AE_IFLNK) {
            lida.tipo = Tipo::kLinkSimbolico;
            lida.dados = archive_entry_symlink(entrada);
        }
        if (archive_entry_hardlink(entrada) != nullptr) {
            lida.tipo = Tipo::kLinkFisico;
            lida.dados = archive_entry_hardlink(entrada);
        }
        char bloco[4096];
        la_ssize_t lidos = 0;
        while (lida.tipo == Tipo::kArquivo &&
               (lidos = archive_read_data(leitura.get(), bloco, sizeof bloco)) > 0) {
            lida.dados.append(bloco, static_cast<size_t>(lidos));
        }
        if (lidos < 0) return falha();
        entradas->push_back(lida);
    }
}

using Montador = std::function<std::string(const std::vector<EntradaCompactada>&)>;

struct Formato {
    const char* nome;
    Montador montar;
    char separador;  // the one the format stores
};

void PrintTo(const Formato& f, std::ostream* os) {
    *os << f.nome;
}

const Formato kFormatos[] = {
    {"RAR4", &EscritorRar4::Montar, '\\'},
    {"RAR5", &EscritorRar5::Montar, '/'},
};

std::string Caminho(const Formato& f, std::string caminho) {
    for (char& c : caminho) {
        if (c == '/') c = f.separador;
    }
    return caminho;
}

// A package as the vendor ships one: files at the top and in sub-folders, the folders
// themselves, an empty file and a name outside ASCII.
std::vector<EntradaCompactada> PacoteTipico(const Formato& f) {
    return {
        {"orvalisEmpresa.exe", "MZ nova versão", Tipo::kArquivo},
        {"dll", "", Tipo::kPasta},
        {Caminho(f, "dll/midas.dll"), std::string(70000, 'm'), Tipo::kArquivo},
        {Caminho(f, "dll/sub/vazio.txt"), "", Tipo::kArquivo},
        {Caminho(f, "dll/sub"), "", Tipo::kPasta},
        {"AtualizaçãoDiaria.exe", "diaria", Tipo::kArquivo},
    };
}

bool Rar5(const Formato& f) {
    return f.separador == '/';
}

// The typical package and the links that the format can hold.
std::vector<EntradaCompactada> ComLinks(const Formato& f) {
    std::vector<EntradaCompactada> entradas = PacoteTipico(f);
    entradas.push_back({"atalho", "/etc/passwd", Tipo::kLinkSimbolico});
    if (Rar5(f)) entradas.push_back({"outro.exe", "orvalisEmpresa.exe", Tipo::kLinkFisico});
    return entradas;
}

class ArquivoRar : public ::testing::TestWithParam<Formato> {};

TEST_P(ArquivoRar, IsListedByLibarchiveAsWritten) {
    const Formato& f = GetParam();
    const std::vector<EntradaCompactada> entradas = ComLinks(f);
    std::vector<EntradaLida> lidas;
    std::string erro;
    ASSERT_TRUE(Listar(f.montar(entradas), &lidas, &erro)) << erro;
    std::vector<EntradaLida> esperadas;
    for (const EntradaCompactada& e : entradas) {
        std::string caminho = e.caminho;
        // libarchive reports "/" whatever the format stores.
        for (char& c : caminho) {
            if (c == '\\') c = '/';
        }
        esperadas.push_back({caminho, e.tipo, e.tipo == Tipo::kPasta ? "" : e.dados});
    }
    EXPECT_EQ(lidas, esperadas);
}

TEST_P(ArquivoRar, DamagedOrTruncatedIsAnErrorForLibarchive) {
    const Formato& f = GetParam();
    const std::string inteiro = f.montar(PacoteTipico(f));
    std::string cabecalhoDanificado = inteiro;
    // A letter of the first entry's name: its header no longer matches its CRC.
    cabecalhoDanificado[inteiro.find("orvalisEmpresa.exe") + 1] ^= 0x20;
    const std::string truncado = inteiro.substr(0, inteiro.find(std::string(70000, 'm')) + 1000);
    for (const std::string& arquivo : {cabecalhoDanificado, truncado}) {
        std::vector<EntradaLida> lidas;
        std::string erro;
        EXPECT_FALSE(Listar(arquivo, &lidas, &erro));
    }
}

INSTANTIATE_TEST_SUITE_P(Formatos, ArquivoRar, ::testing::ValuesIn(kFormatos),
                         [](const auto& info) { return std::string(info.param.nome); });

// --- the extraction ---

// An installation with the packages folder, and the extraction into the workstation.
class PastaDePacotes : public ::testing::Test {
  protected:
    PastaDePacotes() { instalacao.CriarPasta(kPastaPacotes); }

    // Writes the archive and returns its Windows path.
    QString Pacote(const std::string& bytes, const QString& nome = "pacote.rar") {
        const QString caminho = kPastaPacotes + "\\" + nome;
        instalacao.Escrever(caminho, QByteArray::fromStdString(bytes));
        return caminho;
    }
    void Extrair(const QString& pacote, Platform* plataforma = nullptr) {
        ExtrairArquivo(plataforma ? *plataforma : instalacao.plataforma(), kPastaExtrator, pacote,
                       kDestino);
    }
    QByteArray Ler(const QString& nome) { return instalacao.Ler(kDestino + "\\" + nome); }
    QStringList Destino() { return instalacao.Listar(kDestino); }

    InstalacaoTemporaria instalacao;
};

class Extracao : public PastaDePacotes, public ::testing::WithParamInterface<Formato> {
  protected:
    using PastaDePacotes::Pacote;
    QString Pacote(const std::vector<EntradaCompactada>& entradas) {
        return Pacote(GetParam().montar(entradas));
    }
};

TEST_P(Extracao, WritesEveryFileByItsBaseNameWithoutFolders) {
    const QString pacote = Pacote(PacoteTipico(GetParam()));
    Extrair(pacote);
    EXPECT_EQ(Destino(), QStringList({"AtualizaçãoDiaria.exe", "midas.dll", "orvalisEmpresa.exe",
                                      "vazio.txt"}));
    EXPECT_EQ(Ler("orvalisEmpresa.exe"), QByteArray("MZ nova versão"));
    EXPECT_EQ(Ler("midas.dll"), QByteArray(70000, 'm'));
    EXPECT_EQ(Ler("vazio.txt"), QByteArray());
    EXPECT_EQ(Ler("AtualizaçãoDiaria.exe"), QByteArray("diaria"));
    EXPECT_TRUE(instalacao.Existe(pacote)) << "the archive stays";
}

TEST_P(Extracao, NeverWritesOverAnExistingFile) {
    const Formato& f = GetParam();
    instalacao.Escrever(kDestino + "\\midas.dll", "antiga");
    instalacao.Escrever(kDestino + "\\ORVALISEMPRESA.EXE", "instalado");
    Extrair(Pacote({
        {Caminho(f, "dll/midas.dll"), "nova", Tipo::kArquivo},
        {"orvalisEmpresa.exe", "novo", Tipo::kArquivo},
        {"nova.dll", "nova", Tipo::kArquivo},
    }));
    EXPECT_EQ(Ler("midas.dll"), QByteArray("antiga"));
    EXPECT_EQ(Ler("ORVALISEMPRESA.EXE"), QByteArray("instalado")) << "in any letter case";
    EXPECT_EQ(Ler("nova.dll"), QByteArray("nova")) << "the other entries go on";
    EXPECT_EQ(Destino(), QStringList({"ORVALISEMPRESA.EXE", "midas.dll", "nova.dll"}));
}

TEST_P(Extracao, KeepsTheFirstOfTwoEntriesWithOneBaseName) {
    const Formato& f = GetParam();
    Extrair(Pacote({
        {Caminho(f, "x86/midas.dll"), "32 bits", Tipo::kArquivo},
        {Caminho(f, "x64/midas.dll"), "64 bits", Tipo::kArquivo},
    }));
    EXPECT_EQ(Ler("midas.dll"), QByteArray("32 bits"));
}

TEST_P(Extracao, CutsBothSeparatorsAndTakesNamesCloseToTheRefusedOnes) {
    Extrair(Pacote({
        {"pasta\\sub/a.dll", "a", Tipo::kArquivo},
        {"pasta/sub\\b.dll", "b", Tipo::kArquivo},
        {"CONSOLE.dll", "c", Tipo::kArquivo},
        {"COM10.exe", "d", Tipo::kArquivo},
        {"LPT.dll", "e", Tipo::kArquivo},
        {"nulo.txt", "f", Tipo::kArquivo},
        {"a.con", "g", Tipo::kArquivo},
        {".config", "h", Tipo::kArquivo},
        {" espaço.txt", "i", Tipo::kArquivo},
    }));
    EXPECT_EQ(Destino(), QStringList({" espaço.txt", ".config", "COM10.exe", "CONSOLE.dll",
                                      "LPT.dll", "a.con", "a.dll", "b.dll", "nulo.txt"}));
}

// Expects the extraction of `pacote` to raise the damaged-archive error with `trecho` in
// its reason.
void EsperarDanificado(const std::function<void()>& extrair, const QString& pacote,
                       const QString& trecho) {
    try {
        extrair();
        ADD_FAILURE() << "no error";
    } catch (const ErroOrvalis& erro) {
        EXPECT_TRUE(erro.mensagem().startsWith("O arquivo compactado " + pacote +
                                               " está danificado ou incompleto: "))
            << erro.mensagem().toStdString();
        EXPECT_TRUE(erro.mensagem().contains(trecho)) << erro.mensagem().toStdString();
    }
}

// One entry that the extraction refuses, between two good ones.
struct EntradaRecusada {
    std::string descricao;
    // The archive's bytes, with the good entries `antes` first and `depois` last.
    std::function<std::string(const Formato&, const EntradaCompactada& antes,
                              const EntradaCompactada& depois)>
        montar;
    std::string trecho;  // expected in the reason
    bool soRar5 = false;
};

void PrintTo(const EntradaRecusada& e, std::ostream* os) {
    *os << e.descricao;
}

// Writes `entrada` between `antes` and `depois`.
std::function<std::string(const Formato&, const EntradaCompactada&, const EntradaCompactada&)> Com(
    EntradaCompactada entrada) {
    return [entrada](const Formato& f, const EntradaCompactada& antes,
                     const EntradaCompactada& depois) {
        EntradaCompactada propria = entrada;
        propria.caminho = Caminho(f, propria.caminho);
        return f.montar({antes, propria, depois});
    };
}

std::vector<EntradaRecusada> EntradasRecusadas() {
    const std::string dados(5000, 'r');
    const std::string crcErrado =
        "os dados da entrada x.dll não conferem com o CRC-32 do cabeçalho";
    const std::string naoComum = " não é um arquivo comum nem uma pasta";
    std::vector<EntradaRecusada> linhas = {
        {"a stored entry with one data byte flipped",
         [dados](const Formato& f, const EntradaCompactada& antes,
                 const EntradaCompactada& depois) {
             std::string bytes = f.montar({antes, {"x.dll", dados}, depois});
             bytes[bytes.find(dados) + 1234] ^= 0x04;
             return bytes;
         },
         crcErrado},
        {"a wrong CRC field",
         Com({"x.dll", dados, Tipo::kArquivo, 0, teste::Crc32(dados) ^ 0x80000000u}), crcErrado},
        {"a wrong CRC field on an empty file", Com({"x.dll", "", Tipo::kArquivo, 0, 1u}),
         crcErrado},
        {"no CRC field", Com({"x.dll", dados, Tipo::kArquivo, 0, std::nullopt, true}),
         "a entrada x.dll não tem CRC-32 no cabeçalho", true},
        {"a character device", Com({"x.dev", "", Tipo::kArquivo, 020644}),
         "a entrada x.dev" + naoComum},
        {"a block device", Com({"x.dev", "", Tipo::kArquivo, 060644}),
         "a entrada x.dev" + naoComum},
        {"a FIFO", Com({"x.fifo", "", Tipo::kArquivo, 010644}), "a entrada x.fifo" + naoComum},
        {"a socket", Com({"x.sock", "", Tipo::kArquivo, 0140644}), "a entrada x.sock" + naoComum},
        {"a symbolic link", Com({"x.dll", "antes.dll", Tipo::kLinkSimbolico}),
         "a entrada x.dll" + naoComum},
        {"a hard link", Com({"x.dll", "antes.dll", Tipo::kLinkFisico}),
         "a entrada x.dll" + naoComum, true},
    };
    // Every kind of name that Windows refuses, as the archive stores it (with "/").
    const char* nomes[] = {
        "CON",           "con.txt",   "Prn.dll",  "AUX",       "aux.tar.gz", "NUL",
        "nul.exe",       "CON .txt",  "COM1",     "com5.dll",  "COM9.exe",   "COM0",
        "COM\u00B9.dll", "LPT1",      "lpt4.txt", "LPT9.dll",  "LPT0",       "lpt\u00B3",
        "CONIN$",        "conout$.x", "a<b.dll",  "a>b.dll",   "C:c.dll",    "a\"b.dll",
        "a|b.dll",       "d?.dll",    "e*.dll",   "f\x01.dll", "g\x1F.dll",  "ponto.",
        "branco ",       "dll/..",    "dll/.",    "dll/x ",
    };
    for (const char* nome : nomes) {
        linhas.push_back({std::string("the name ") + nome, Com({nome, "w", Tipo::kArquivo}),
                          std::string("o nome da entrada ") + nome + " não é aceito pelo Windows"});
    }
    return linhas;
}

class ExtracaoRecusada
    : public PastaDePacotes,
      public ::testing::WithParamInterface<std::tuple<Formato, EntradaRecusada>> {};

TEST_P(ExtracaoRecusada, RaisesAsDamagedAfterTheEntriesBeforeAndWritesNothingOfIt) {
    const auto& [f, linha] = GetParam();
    const QString pacote =
        Pacote(linha.montar(f, {"antes.dll", "antes"}, {"depois.dll", "depois"}));
    EsperarDanificado([&] { Extrair(pacote); }, pacote, QString::fromStdString(linha.trecho));
    EXPECT_EQ(Destino(), QStringList({"antes.dll"}));
    EXPECT_EQ(Ler("antes.dll"), QByteArray("antes"));
}

// Every row in every format that can hold it.
std::vector<std::tuple<Formato, EntradaRecusada>> Recusas() {
    std::vector<std::tuple<Formato, EntradaRecusada>> recusas;
    for (const Formato& f : kFormatos) {
        for (const EntradaRecusada& linha : EntradasRecusadas()) {
            if (!linha.soRar5 || Rar5(f)) recusas.emplace_back(f, linha);
        }
    }
    return recusas;
}

INSTANTIATE_TEST_SUITE_P(Formatos, ExtracaoRecusada, ::testing::ValuesIn(Recusas()),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).nome) + "_" +
                                    std::to_string(info.index);
                         });

TEST_P(Extracao, NeverWritesThroughALinkInTheTargetFolder) {
    const QString alvo = InstalacaoTemporaria::kRaizServidor + "\\fora.txt";
    instalacao.Escrever(alvo, "intocado");
    ASSERT_TRUE(QFile::link(instalacao.Nativo(alvo), instalacao.Nativo(kDestino + "\\a.dll")));
    ASSERT_TRUE(QFile::link(instalacao.Nativo(InstalacaoTemporaria::kRaizServidor + "\\nada"),
                            instalacao.Nativo(kDestino + "\\b.dll")));
    Extrair(Pacote({{"a.dll", "novo", Tipo::kArquivo}, {"b.dll", "novo", Tipo::kArquivo}}));
    EXPECT_EQ(instalacao.Ler(alvo), QByteArray("intocado"));
    EXPECT_FALSE(instalacao.Existe(InstalacaoTemporaria::kRaizServidor + "\\nada"))
        << "a dangling link is not followed either";
}

TEST_P(Extracao, DamagedArchiveRaisesAndKeepsOnlyWholeFiles) {
    const Formato& f = GetParam();
    const std::string inteiro = f.montar({
        {"primeiro.dll", "inteiro", Tipo::kArquivo},
        {"segundo.dll", std::string(300000, 's'), Tipo::kArquivo},
        {"terceiro.dll", "terceiro", Tipo::kArquivo},
    });
    const size_t inicioSegundo = inteiro.find(std::string(300000, 's'));
    std::string cabecalhoDanificado = inteiro;
    cabecalhoDanificado[inteiro.find("segundo.dll")] ^= 0x01;

    struct Caso {
        const char* descricao;
        std::string bytes;
    };
    const Caso casos[] = {
        {"truncated in the middle of an entry", inteiro.substr(0, inicioSegundo + 200000)},
        {"a header that fails its CRC", cabecalhoDanificado},
    };
    for (const Caso& caso : casos) {
        SCOPED_TRACE(caso.descricao);
        instalacao.Apagar(kDestino);
        instalacao.CriarPasta(kDestino);
        instalacao.Escrever(kDestino + "\\terceiro.dll", "antigo");
        EXPECT_THROW(Extrair(Pacote(caso.bytes)), ErroOrvalis);
        EXPECT_EQ(Ler("primeiro.dll"), QByteArray("inteiro"));
        EXPECT_FALSE(instalacao.Existe(kDestino + "\\segundo.dll")) << "no half-written file";
        EXPECT_EQ(Ler("terceiro.dll"), QByteArray("antigo"));
    }
}

TEST_P(Extracao, AnArchiveCutAnywhereRaises) {
    const std::string inteiro = GetParam().montar({
        {"a.dll", "aaaa", Tipo::kArquivo},
        {"pasta", "", Tipo::kPasta},
        {"b.dll", "bbbb", Tipo::kArquivo},
    });
    Extrair(Pacote(inteiro));
    EXPECT_EQ(Destino(), QStringList({"a.dll", "b.dll"}));
    // Between two blocks, inside a header, inside the data or the end block: every cut
    // is found, also those after which libarchive alone reports a clean end.
    for (size_t tamanho = 0; tamanho < inteiro.size(); ++tamanho) {
        SCOPED_TRACE(tamanho);
        instalacao.Apagar(kDestino);
        instalacao.CriarPasta(kDestino);
        EXPECT_THROW(Extrair(Pacote(inteiro.substr(0, tamanho))), ErroOrvalis);
    }
}

// A platform whose files fail to write once `limite` bytes have gone to the file named
// `nome` (a full disk).
class DiscoCheio : public PlatformWrapper {
  public:
    DiscoCheio(Platform& alvo, QString nome, size_t limite)
        : PlatformWrapper(alvo), nome_(std::move(nome)), limite_(limite) {}

    std::unique_ptr<WritableFile> NewWritableFile(const QString& path, CreateMode mode) override {
        auto arquivo = PlatformWrapper::NewWritableFile(path, mode);
        if (arquivo == nullptr || !path.endsWith("\\" + nome_)) return arquivo;
        return std::make_unique<Limitado>(*this, std::move(arquivo), limite_);
    }

  private:
    class Limitado : public WritableFile {
      public:
        Limitado(Platform& p, std::unique_ptr<WritableFile> f, size_t limite)
            : plataforma_(p), arquivo_(std::move(f)), restante_(limite) {}
        bool Append(const char* data, size_t size) override {
            if (size > restante_) {
                plataforma_.SetLastError(winerror::kDiskFull);
                return false;
            }
            restante_ -= size;
            return arquivo_->Append(data, size);
        }
        bool Sync() override { return arquivo_->Sync(); }
        bool Close() override { return arquivo_->Close(); }

      private:
        Platform& plataforma_;
        std::unique_ptr<WritableFile> arquivo_;
        size_t restante_;
    };

    QString nome_;
    size_t limite_;
};

TEST_P(Extracao, WriteFailureRaisesWithTheSystemMessageAndRemovesThatFile) {
    const QString pacote = Pacote({
        {"primeiro.dll", "inteiro", Tipo::kArquivo},
        {"grande.dll", std::string(3 << 20, 'g'), Tipo::kArquivo},
        {"depois.dll", "depois", Tipo::kArquivo},
    });
    DiscoCheio plataforma(instalacao.plataforma(), "grande.dll", 1 << 20);
    try {
        Extrair(pacote, &plataforma);
        FAIL() << "no error";
    } catch (const ErroOrvalis& erro) {
        EXPECT_TRUE(erro.mensagem().contains("grande.dll")) << erro.mensagem().toStdString();
        EXPECT_TRUE(erro.mensagem().contains("Espaço insuficiente no disco"))
            << erro.mensagem().toStdString();
    }
    EXPECT_EQ(Destino(), QStringList({"primeiro.dll"}));
}

TEST_P(Extracao, TargetFolderMissingRaises) {
    instalacao.Apagar(kDestino);
    EXPECT_THROW(Extrair(Pacote({{"a.dll", "a", Tipo::kArquivo}})), ErroOrvalis);
}

TEST_P(Extracao, BytesAfterTheEndBlockRaiseOnceTheEntriesAreWritten) {
    const std::string inteiro = GetParam().montar({{"a.dll", "aaaa", Tipo::kArquivo}});
    for (const std::string& cauda : {std::string(1, '\0'), std::string(3000, 'x'), inteiro}) {
        SCOPED_TRACE(cauda.size());
        instalacao.Apagar(kDestino);
        instalacao.CriarPasta(kDestino);
        const QString pacote = Pacote(inteiro + cauda);
        EsperarDanificado(
            [&] { Extrair(pacote); }, pacote,
            QString("há dados depois do fim do arquivo, na posição %1").arg(inteiro.size()));
        EXPECT_EQ(Destino(), QStringList({"a.dll"}));
    }
}

// A RAR 4 header always has the CRC field.
class ExtracaoRar5 : public Extracao {};

TEST_P(ExtracaoRar5, AnEmptyFileNeedsNoCrc) {
    Extrair(Pacote({{"vazio.txt", "", Tipo::kArquivo, 0, std::nullopt, true},
                    {"pasta", "", Tipo::kPasta, 0, std::nullopt, true}}));
    EXPECT_EQ(Destino(), QStringList({"vazio.txt"}));
}

// A platform whose files give at most `pedaco` bytes a read, so that every header and
// data area of an archive arrives cut at every place.
class LeituraEmPedacos : public PlatformWrapper {
  public:
    LeituraEmPedacos(Platform& alvo, size_t pedaco) : PlatformWrapper(alvo), pedaco_(pedaco) {}
    std::unique_ptr<SequentialFile> NewSequentialFile(const QString& path) override {
        auto arquivo = PlatformWrapper::NewSequentialFile(path);
        if (arquivo == nullptr) return nullptr;
        return std::make_unique<Pedacos>(std::move(arquivo), pedaco_);
    }

  private:
    class Pedacos : public SequentialFile {
      public:
        Pedacos(std::unique_ptr<SequentialFile> f, size_t pedaco)
            : arquivo_(std::move(f)), pedaco_(pedaco) {}
        int64_t Read(char* buffer, size_t size) override {
            return arquivo_->Read(buffer, std::min(size, pedaco_));
        }

      private:
        std::unique_ptr<SequentialFile> arquivo_;
        size_t pedaco_;
    };
    size_t pedaco_;
};

TEST_P(Extracao, ReadsAnArchiveGivenInPiecesOfAnySize) {
    const Formato& f = GetParam();
    const QString pacote = Pacote(PacoteTipico(f));
    std::string bytes = f.montar({{"a.dll", std::string(3000, 'a')}, {"b.dll", "b"}});
    bytes[bytes.find(std::string(3000, 'a')) + 2999] ^= 0x01;
    const QString danificado = Pacote(bytes, "danificado.rar");
    for (size_t pedaco : {size_t{1}, size_t{2}, size_t{3}, size_t{5}, size_t{13}, size_t{4097}}) {
        SCOPED_TRACE(pedaco);
        instalacao.Apagar(kDestino);
        instalacao.CriarPasta(kDestino);
        LeituraEmPedacos plataforma(instalacao.plataforma(), pedaco);
        Extrair(pacote, &plataforma);
        EXPECT_EQ(Destino(), QStringList({"AtualizaçãoDiaria.exe", "midas.dll",
                                          "orvalisEmpresa.exe", "vazio.txt"}));
        EXPECT_EQ(Ler("midas.dll"), QByteArray(70000, 'm'));
        instalacao.Apagar(kDestino);
        instalacao.CriarPasta(kDestino);
        EsperarDanificado([&] { Extrair(danificado, &plataforma); }, danificado,
                          "os dados da entrada a.dll não conferem com o CRC-32 do cabeçalho");
        EXPECT_TRUE(Destino().isEmpty());
    }
}

constexpr uint64_t kGiB = uint64_t{1} << 30;

TEST_P(Extracao, AnEntryThatWouldLeaveUnderOneGibibyteFreeIsRefusedBeforeItIsWritten) {
    const Formato& f = GetParam();
    const QString pacote = Pacote({
        {"pequeno.dll", std::string(10000, 'p'), Tipo::kArquivo},
        {Caminho(f, "bin/grande.dll"), std::string(200000, 'g'), Tipo::kArquivo},
        {"depois.dll", "depois", Tipo::kArquivo},
    });
    struct Caso {
        const char* descricao;
        uint64_t livres;  // what the drive reports
        bool aceito;
    };
    const Caso casos[] = {
        {"room for the entry and 1 GiB", kGiB + 200000, true},
        {"one byte less", kGiB + 200000 - 1, false},
        {"under 1 GiB free", kGiB - 1, false},
        {"nothing free", 0, false},
    };
    for (const Caso& caso : casos) {
        SCOPED_TRACE(caso.descricao);
        instalacao.Apagar(kDestino);
        instalacao.CriarPasta(kDestino);
        PlataformaFalhas plataforma(instalacao.plataforma());
        QStringList pastas;
        plataforma.aoConsultarEspaco = [&](const QString& pasta, uint64_t* livres) {
            pastas << pasta;
            // The small entry always fits; the large one meets the case.
            *livres = pastas.size() == 1 ? kGiB + 10000 : caso.livres;
            return uint32_t{0};
        };
        if (caso.aceito) {
            Extrair(pacote, &plataforma);
            EXPECT_EQ(Destino(), QStringList({"depois.dll", "grande.dll", "pequeno.dll"}));
            EXPECT_EQ(pastas, QStringList({kDestino, kDestino, kDestino}));
            continue;
        }
        try {
            Extrair(pacote, &plataforma);
            ADD_FAILURE() << "no error";
        } catch (const ErroOrvalis& erro) {
            EXPECT_EQ(erro.mensagem(),
                      "A entrada bin/grande.dll do arquivo compactado " + pacote +
                          " foi recusada: ela tem 200000 bytes, e a unidade da pasta " + kDestino +
                          QString(" tem %1 bytes livres; a extração deixa ao menos 1 GiB livre "
                                  "na unidade.")
                              .arg(caso.livres));
        }
        EXPECT_EQ(Destino(), QStringList({"pequeno.dll"}));
    }
}

TEST_P(Extracao, ADriveThatFillsWhileAnEntryIsWrittenStopsIt) {
    const uint64_t tamanho = uint64_t{40} << 20;
    const QString pacote = Pacote({{"grande.dll", std::string(tamanho, 'g'), Tipo::kArquivo}});
    PlataformaFalhas plataforma(instalacao.plataforma());
    int consultas = 0;
    const uint64_t livresDepois = kGiB + (1 << 20);
    plataforma.aoConsultarEspaco = [&](const QString&, uint64_t* livres) {
        // Room at the start; then another program takes all but 1 GiB and 1 MiB.
        *livres = ++consultas == 1 ? 100 * kGiB : livresDepois;
        return uint32_t{0};
    };
    try {
        Extrair(pacote, &plataforma);
        ADD_FAILURE() << "no error";
    } catch (const ErroOrvalis& erro) {
        const QRegularExpression forma(
            "^A entrada grande\\.dll do arquivo compactado " + QRegularExpression::escape(pacote) +
            " foi recusada durante a gravação: faltam ([0-9]+) bytes, e a unidade da pasta " +
            QRegularExpression::escape(kDestino) + " tem " + QString::number(livresDepois) +
            " bytes livres; a extração deixa ao menos 1 GiB livre na unidade\\.$");
        const QRegularExpressionMatch encontrado = forma.match(erro.mensagem());
        ASSERT_TRUE(encontrado.hasMatch()) << erro.mensagem().toStdString();
        // Asked again once 16 MiB, and less than a block more, have been written.
        const uint64_t faltam = encontrado.captured(1).toULongLong();
        EXPECT_LE(faltam, tamanho - (16 << 20));
        EXPECT_GT(faltam, tamanho - (17 << 20));
    }
    EXPECT_EQ(consultas, 2) << "asked before writing and after 16 MiB";
    EXPECT_TRUE(Destino().isEmpty());
}

TEST_P(Extracao, AFailedFreeSpaceQueryRaisesAndASkippedEntryAsksNothing) {
    instalacao.Escrever(kDestino + "\\existente.dll", "antigo");
    const QString pacote =
        Pacote({{"existente.dll", "novo", Tipo::kArquivo}, {"novo.dll", "novo", Tipo::kArquivo}});
    PlataformaFalhas plataforma(instalacao.plataforma());
    QStringList consultas;
    plataforma.aoConsultarEspaco = [&](const QString& pasta, uint64_t*) {
        consultas << pasta;
        return winerror::kAccessDenied;
    };
    try {
        Extrair(pacote, &plataforma);
        ADD_FAILURE() << "no error";
    } catch (const ErroOrvalis& erro) {
        EXPECT_EQ(erro.mensagem(),
                  "Não foi possível consultar o espaço livre da unidade da pasta " + kDestino +
                      ": Acesso negado.");
    }
    EXPECT_EQ(consultas, QStringList({kDestino})) << "only for the entry to write";
    EXPECT_EQ(Destino(), QStringList({"existente.dll"}));
    EXPECT_EQ(Ler("existente.dll"), QByteArray("antigo"));
}

INSTANTIATE_TEST_SUITE_P(Formatos, Extracao, ::testing::ValuesIn(kFormatos),
                         [](const auto& info) { return std::string(info.param.nome); });
INSTANTIATE_TEST_SUITE_P(Formatos, ExtracaoRar5, ::testing::Values(kFormatos[1]),
                         [](const auto& info) { return std::string(info.param.nome); });

class ExtracaoOutrosArquivos : public Extracao {};

// An archive of another format that libarchive writes, with one file `a.exe` (for tar,
// a sparse one that names 64 MiB and holds 10 bytes); none when the writer refuses.
std::string OutroFormato(const std::function<void(struct archive*)>& formato, bool esparso) {
    std::unique_ptr<struct archive, decltype(&archive_write_free)> escrita(archive_write_new(),
                                                                           &archive_write_free);
    formato(escrita.get());
    std::string saida;
    auto escrever = [](struct archive*, void* destino, const void* dados, size_t tamanho) {
        static_cast<std::string*>(destino)->append(static_cast<const char*>(dados), tamanho);
        return static_cast<la_ssize_t>(tamanho);
    };
    archive_write_set_bytes_in_last_block(escrita.get(), 1);
    if (archive_write_open(escrita.get(), &saida, nullptr, escrever, nullptr) != ARCHIVE_OK) {
        ADD_FAILURE() << archive_error_string(escrita.get());
        return {};
    }
    std::unique_ptr<struct archive_entry, decltype(&archive_entry_free)> entrada(
        archive_entry_new(), &archive_entry_free);
    archive_entry_set_pathname(entrada.get(), "a.exe");
    archive_entry_set_filetype(entrada.get(), AE_IFREG);
    archive_entry_set_perm(entrada.get(), 0644);
    const std::string dados = "0123456789";
    if (esparso) {
        archive_entry_set_size(entrada.get(), 64 << 20);
        archive_entry_sparse_add_entry(entrada.get(), (64 << 20) - 10, 10);
    } else {
        archive_entry_set_size(entrada.get(), static_cast<la_int64_t>(dados.size()));
    }
    EXPECT_EQ(archive_write_header(escrita.get(), entrada.get()), ARCHIVE_OK)
        << archive_error_string(escrita.get());
    EXPECT_EQ(archive_write_data(escrita.get(), dados.data(), dados.size()),
              static_cast<la_ssize_t>(dados.size()));
    EXPECT_EQ(archive_write_close(escrita.get()), ARCHIVE_OK);
    return saida;
}

TEST_F(ExtracaoOutrosArquivos, WhatIsNotAnArchiveRaisesWithItsReason) {
    struct Caso {
        const char* descricao;
        std::function<QString()> preparar;
        const char* trecho;  // expected in the message
    };
    const std::string rar = EscritorRar4::Montar({{"a.exe", "conteúdo", Tipo::kArquivo}});
    const Caso casos[] = {
        {"missing", [] { return kPastaPacotes + "\\nada.rar"; },
         "O sistema não pode encontrar o arquivo especificado"},
        {"empty", [this] { return Pacote(std::string()); }, "não é um arquivo compactado"},
        {"text", [this] { return Pacote(std::string(5000, 'x')); },
         "danificado ou incompleto: não é um arquivo RAR 4 nem RAR 5"},
        {"the RAR signature alone", [this, &rar] { return Pacote(rar.substr(0, 5)); },
         "danificado ou incompleto: não é um arquivo RAR 4 nem RAR 5"},
        {"an entry's data truncated away",
         [this, &rar] { return Pacote(rar.substr(0, rar.size() - 12)); },
         "danificado ou incompleto"},
        {"a RAR archive after a program (self-extracting)",
         [this, &rar] { return Pacote("MZ" + std::string(70000, '\0') + rar); },
         "danificado ou incompleto: não é um arquivo RAR 4 nem RAR 5"},
        {"a folder", [] { return kPastaPacotes; }, "Acesso negado"},
    };
    for (const Caso& caso : casos) {
        SCOPED_TRACE(caso.descricao);
        const QString pacote = caso.preparar();
        try {
            Extrair(pacote);
            ADD_FAILURE() << "no error";
        } catch (const ErroOrvalis& erro) {
            EXPECT_TRUE(erro.mensagem().contains(pacote)) << erro.mensagem().toStdString();
            EXPECT_TRUE(erro.mensagem().contains(QString::fromUtf8(caso.trecho)))
                << erro.mensagem().toStdString();
        }
        EXPECT_TRUE(Destino().isEmpty());
    }
}

// A RAR 4 file header as the writer makes it, with `flags` added.
std::string EntradaRar4(uint16_t flags) {
    std::string corpo =
        EscritorRar4::CabecalhoEntrada("a.dll", Tipo::kArquivo, 1, teste::Crc32("a")).substr(2);
    corpo[1] = static_cast<char>(corpo[1] | (flags & 0xFF));
    corpo[2] = static_cast<char>(corpo[2] | (flags >> 8));
    return EscritorRar4::ComCrc(corpo) + "a";
}
// A RAR 5 file header of "a.dll" (one byte "a") with the header flags and extra area.
std::string EntradaRar5(uint64_t flags, const std::string& extra = {}) {
    using R5 = EscritorRar5;
    const std::string campos = R5::Vint(0x0004) + R5::Vint(1) + R5::Vint(0x20) +
                               R5::Le32(teste::Crc32("a")) + R5::Vint(0) + R5::Vint(0) +
                               R5::Vint(5) + "a.dll";
    return R5::Bloco(2, flags | 0x0002, extra, campos, 1) + "a";
}

TEST_F(ExtracaoOutrosArquivos, VolumesEncryptionAndBlocksOutOfPlaceAreRefused) {
    using R4 = EscritorRar4;
    using R5 = EscritorRar5;
    const auto Vint = &R5::Vint;
    // The markers alone, and followed by the main header.
    const std::string rar4 = std::string("Rar!\x1A\x07\x00", 7);
    const std::string inicio4 = R4::Inicio();
    const std::string fim4 = R4::Fim();
    const std::string rar5 = std::string("Rar!\x1A\x07\x01\x00", 8);
    const std::string inicio5 = R5::Inicio();
    const std::string fim5 = R5::Fim();
    const std::string volumes = "indica volumes ou criptografia, que não são aceitos";
    struct Caso {
        const char* descricao;
        std::string bytes;
        std::string trecho;  // empty: the archive extracts
        QStringList escritos = {};
    };
    const size_t depois4 = inicio4.size();
    const size_t depois5 = inicio5.size();
    const Caso casos[] = {
        {"RAR 4 volume", rar4 + R4::Bloco(0x73, 0x0001, std::string(6, '\0')) + fim4,
         "o cabeçalho na posição 7 " + volumes},
        {"RAR 4 encrypted headers", rar4 + R4::Bloco(0x73, 0x0080, std::string(6, '\0')) + fim4,
         "o cabeçalho na posição 7 " + volumes},
        {"RAR 4 encrypted entry", inicio4 + EntradaRar4(0x0004) + fim4,
         "o cabeçalho na posição " + std::to_string(depois4) + " " + volumes},
        {"RAR 4 entry continued in the next volume", inicio4 + EntradaRar4(0x0002) + fim4,
         "o cabeçalho na posição " + std::to_string(depois4) + " " + volumes},
        {"RAR 4 end of a volume that is not the last",
         inicio4 + EntradaRar4(0) + R4::Bloco(0x7B, 0x0001, ""),
         volumes,
         {"a.dll"}},
        {"RAR 4 second marker", inicio4 + rar4 + EntradaRar4(0) + fim4,
         "cabeçalho inválido na posição " + std::to_string(depois4)},
        {"RAR 4 unknown block", inicio4 + R4::Bloco(0x80, 0, "") + EntradaRar4(0) + fim4,
         "cabeçalho inválido na posição " + std::to_string(depois4)},
        {"RAR 4 header shorter than its fixed part",
         inicio4 + std::string("\0\0\x74\0\0\x05\0", 7) + fim4,
         "cabeçalho inválido na posição " + std::to_string(depois4)},
        {"RAR 4 header that fails its CRC",
         inicio4 +
             [] {
                 std::string e = EntradaRar4(0);
                 e[0] ^= 1;
                 return e;
             }() +
             fim4,
         "o cabeçalho na posição " + std::to_string(depois4) + " não confere com o seu CRC"},
        {"RAR 5 volume", rar5 + R5::Bloco(1, 0, {}, Vint(1), 0) + EntradaRar5(0) + fim5,
         "o cabeçalho na posição 8 " + volumes},
        {"RAR 5 encrypted headers",
         rar5 + R5::Bloco(4, 0, {}, Vint(0) + std::string(20, 'k'), 0) + fim5,
         "o cabeçalho na posição 8 " + volumes},
        {"RAR 5 encrypted entry",
         inicio5 + EntradaRar5(0, Vint(3) + Vint(1) + Vint(0) + Vint(0)) + fim5,
         "o cabeçalho na posição " + std::to_string(depois5) + " " + volumes},
        {"RAR 5 entry continued in the next volume", inicio5 + EntradaRar5(0x0010) + fim5,
         "o cabeçalho na posição " + std::to_string(depois5) + " " + volumes},
        {"RAR 5 end of a volume that is not the last",
         inicio5 + EntradaRar5(0) + R5::Bloco(5, 0, {}, Vint(1), 0),
         volumes,
         {"a.dll"}},
        {"RAR 5 header size in four bytes",
         inicio5 + std::string("\0\0\0\0\x81\x80\x80\x01", 8) + fim5,
         "cabeçalho inválido na posição " + std::to_string(depois5)},
        {"RAR 5 unknown header", inicio5 + R5::Bloco(9, 0, {}, {}, 0) + fim5,
         "cabeçalho inválido na posição " + std::to_string(depois5)},
        {"RAR 5 extra record past the header", inicio5 + EntradaRar5(0, Vint(9) + Vint(2)) + fim5,
         "cabeçalho inválido na posição " + std::to_string(depois5)},
        {"RAR 5 unknown header marked to be skipped",
         inicio5 + R5::Bloco(9, 0x0004, {}, {}, 0) + EntradaRar5(0) + fim5,
         "",
         {"a.dll"}},
        // libarchive ends the archive there, without an error, and never shows the entry.
        {"RAR 5 unknown header marked to be skipped, with data",
         inicio5 + R5::Bloco(9, 0x0006, {}, {}, 3) + "xyz" + EntradaRar5(0) + fim5,
         "as entradas não correspondem aos cabeçalhos de arquivo"},
    };
    for (const Caso& caso : casos) {
        SCOPED_TRACE(caso.descricao);
        instalacao.Apagar(kDestino);
        instalacao.CriarPasta(kDestino);
        const QString pacote = Pacote(caso.bytes);
        if (caso.trecho.empty()) {
            Extrair(pacote);
            EXPECT_EQ(Destino(), caso.escritos);
            continue;
        }
        EsperarDanificado([&] { Extrair(pacote); }, pacote, QString::fromStdString(caso.trecho));
        EXPECT_EQ(Destino(), caso.escritos);
    }
}

TEST_F(ExtracaoOutrosArquivos, OnlyRarIsReadWithoutAnyFilterEvenUnderARarName) {
    const std::string rar = EscritorRar4::Montar({{"a.exe", "conteúdo", Tipo::kArquivo}});
    const std::string tarEsparso =
        OutroFormato([](struct archive* a) { archive_write_set_format_pax_restricted(a); }, true);
    // libarchive itself sees the hole that an extraction would have to fill.
    {
        std::unique_ptr<struct archive, decltype(&archive_read_free)> leitura(archive_read_new(),
                                                                              &archive_read_free);
        archive_read_support_format_all(leitura.get());
        ASSERT_EQ(archive_read_open_memory(leitura.get(), tarEsparso.data(), tarEsparso.size()),
                  ARCHIVE_OK);
        struct archive_entry* entrada = nullptr;
        ASSERT_EQ(archive_read_next_header(leitura.get(), &entrada), ARCHIVE_OK);
        EXPECT_EQ(archive_entry_size(entrada), 64 << 20);
        EXPECT_GT(archive_entry_sparse_count(entrada), 0);
        EXPECT_LT(tarEsparso.size(), 16u << 10);
    }
    struct Caso {
        const char* descricao;
        std::string bytes;
    };
    const Caso casos[] = {
        {"a sparse tar", tarEsparso},
        {"a tar",
         OutroFormato([](struct archive* a) { archive_write_set_format_ustar(a); }, false)},
        {"a zip", OutroFormato([](struct archive* a) { archive_write_set_format_zip(a); }, false)},
        {"a 7z", OutroFormato([](struct archive* a) { archive_write_set_format_7zip(a); }, false)},
        {"a cpio",
         OutroFormato([](struct archive* a) { archive_write_set_format_cpio_newc(a); }, false)},
        {"a RAR archive compressed by gzip",
         [&] {
             std::unique_ptr<struct archive, decltype(&archive_write_free)> escrita(
                 archive_write_new(), &archive_write_free);
             archive_write_set_format_raw(escrita.get());
             archive_write_add_filter_gzip(escrita.get());
             std::string saida;
             size_t usados = 0;
             saida.resize(1 << 16);
             archive_write_open_memory(escrita.get(), saida.data(), saida.size(), &usados);
             std::unique_ptr<struct archive_entry, decltype(&archive_entry_free)> entrada(
                 archive_entry_new(), &archive_entry_free);
             archive_entry_set_filetype(entrada.get(), AE_IFREG);
             archive_write_header(escrita.get(), entrada.get());
             archive_write_data(escrita.get(), rar.data(), rar.size());
             archive_write_close(escrita.get());
             saida.resize(usados);
             EXPECT_EQ(saida.substr(0, 2), "\x1F\x8B");
             return saida;
         }()},
        {"the magic of lrzip, a filter that runs an outside program",
         std::string("LRZI\x00\x06", 6) + std::string(200, '\0')},
    };
    for (const Caso& caso : casos) {
        SCOPED_TRACE(caso.descricao);
        const QString pacote = Pacote(caso.bytes, "orvalisService.rar");
        EsperarDanificado([&] { Extrair(pacote); }, pacote, "não é um arquivo RAR 4 nem RAR 5");
        EXPECT_TRUE(Destino().isEmpty());
    }
}

// Archives that 7-Zip writes, when it is installed: neither zip nor 7z is read.
class ExtracaoSeteZip : public Extracao {
  protected:
    void SetUp() override {
        programa_ = QStandardPaths::findExecutable("7z");
        if (programa_.isEmpty()) GTEST_SKIP() << "7z is not installed";
        const QString fontes = Fontes();
        QDir().mkpath(fontes + "/dll");
        const std::pair<const char*, QByteArray> arquivos[] = {{"a.exe", QByteArray(200000, 'a')},
                                                               {"dll/b.dll", "bbb"}};
        for (const auto& [nome, conteudo] : arquivos) {
            QFile arquivo(fontes + "/" + nome);
            ASSERT_TRUE(arquivo.open(QIODevice::WriteOnly));
            arquivo.write(conteudo);
        }
    }

    // Makes "pacote.rar" in the packages folder, of the format, and returns its path.
    QString Pacote7Zip(const QString& formato) {
        const QString nome = "pacote.rar";
        instalacao.Apagar(kPastaPacotes + "\\" + nome);
        QProcess sete;
        sete.setWorkingDirectory(Fontes());
        sete.start(programa_, {"a", "-bd", "-t" + formato,
                               instalacao.Nativo(kPastaPacotes) + "/" + nome, "a.exe", "dll"});
        EXPECT_TRUE(sete.waitForFinished(60000));
        EXPECT_EQ(sete.exitCode(), 0) << sete.readAllStandardError().toStdString();
        return kPastaPacotes + "\\" + nome;
    }

  private:
    QString Fontes() { return instalacao.Nativo(InstalacaoTemporaria::kRaizServidor + "\\fontes"); }
    QString programa_;
};

TEST_F(ExtracaoSeteZip, RefusesZipAnd7z) {
    for (const QString formato : {"zip", "7z"}) {
        SCOPED_TRACE(formato.toStdString());
        const QString pacote = Pacote7Zip(formato);
        EsperarDanificado([&] { Extrair(pacote); }, pacote, "não é um arquivo RAR 4 nem RAR 5");
        EXPECT_TRUE(Destino().isEmpty());
    }
}

// Opens the archive once; a second opening fails, as when the file went away.
class AbreUmaVez : public PlatformWrapper {
  public:
    using PlatformWrapper::PlatformWrapper;
    std::unique_ptr<SequentialFile> NewSequentialFile(const QString& path) override {
        if (aberturas_++ > 0) {
            SetLastError(winerror::kFileNotFound);
            return nullptr;
        }
        return PlatformWrapper::NewSequentialFile(path);
    }

  private:
    int aberturas_ = 0;
};

TEST_P(Extracao, ReadsTheArchiveInOnePass) {
    const Formato& f = GetParam();
    // Entries skipped and entries larger than a read, before and after a folder.
    instalacao.Escrever(kDestino + "\\b.dll", "antigo");
    const QString pacote =
        Pacote({{"a.dll", std::string(3 << 20, 'a'), Tipo::kArquivo},
                {"b.dll", std::string(2 << 20, 'b'), Tipo::kArquivo},
                {"pasta", "", Tipo::kPasta},
                {Caminho(f, "pasta/c.dll"), std::string(5, 'c'), Tipo::kArquivo}});
    AbreUmaVez plataforma(instalacao.plataforma());
    Extrair(pacote, &plataforma);
    EXPECT_EQ(Destino(), QStringList({"a.dll", "b.dll", "c.dll"}));
    EXPECT_EQ(Ler("a.dll"), QByteArray(3 << 20, 'a'));
    EXPECT_EQ(Ler("b.dll"), QByteArray("antigo"));
}

}  // namespace
}  // namespace orvalis
