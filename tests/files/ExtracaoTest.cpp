#include "app/Erros.h"
#include "net/Extracao.h"
#include "platform/PlatformWrapper.h"
#include "tests/fixtures/EscritorRar4.h"
#include "tests/fixtures/EscritorRar5.h"
#include "tests/fixtures/ImpressaoQt.h"
#include "tests/support/InstalacaoTemporaria.h"

#include <archive.h>
#include <archive_entry.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <locale.h>

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
// themselves, a link, an empty file and a name outside ASCII.
std::vector<EntradaCompactada> PacoteTipico(const Formato& f) {
    return {
        {"orvalisEmpresa.exe", "MZ nova versão", Tipo::kArquivo},
        {"dll", "", Tipo::kPasta},
        {Caminho(f, "dll/midas.dll"), std::string(70000, 'm'), Tipo::kArquivo},
        {Caminho(f, "dll/sub/vazio.txt"), "", Tipo::kArquivo},
        {Caminho(f, "dll/sub"), "", Tipo::kPasta},
        {"AtualizaçãoDiaria.exe", "diaria", Tipo::kArquivo},
        {"atalho", "/etc/passwd", Tipo::kLinkSimbolico},
    };
}

class ArquivoRar : public ::testing::TestWithParam<Formato> {};

TEST_P(ArquivoRar, IsListedByLibarchiveAsWritten) {
    const Formato& f = GetParam();
    const std::vector<EntradaCompactada> entradas = PacoteTipico(f);
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

class Extracao : public ::testing::TestWithParam<Formato> {
  protected:
    Extracao() { instalacao.CriarPasta(kPastaPacotes); }

    // Writes the archive and returns its Windows path.
    QString Pacote(const std::string& bytes, const QString& nome = "pacote.rar") {
        const QString caminho = kPastaPacotes + "\\" + nome;
        instalacao.Escrever(caminho, QByteArray::fromStdString(bytes));
        return caminho;
    }
    QString Pacote(const std::vector<EntradaCompactada>& entradas) {
        return Pacote(GetParam().montar(entradas));
    }
    void Extrair(const QString& pacote, Platform* plataforma = nullptr) {
        ExtrairArquivo(plataforma ? *plataforma : instalacao.plataforma(), kPastaExtrator, pacote,
                       kDestino);
    }
    QByteArray Ler(const QString& nome) { return instalacao.Ler(kDestino + "\\" + nome); }
    QStringList Destino() { return instalacao.Listar(kDestino); }

    InstalacaoTemporaria instalacao;
};

TEST_P(Extracao, WritesEveryFileByItsBaseNameWithoutFoldersOrLinks) {
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

TEST_P(Extracao, CutsBothSeparatorsAndSkipsNamesWindowsCannotHold) {
    Extrair(Pacote({
        {"pasta\\sub/a.dll", "a", Tipo::kArquivo},
        {"pasta/sub\\b.dll", "b", Tipo::kArquivo},
        {"C:c.dll", "c", Tipo::kArquivo},
        {"d?.dll", "d", Tipo::kArquivo},
        {"e*.dll", "e", Tipo::kArquivo},
        {"f\x01.dll", "f", Tipo::kArquivo},
        {"pasta/..", "g", Tipo::kArquivo},
        {"pasta/", "h", Tipo::kArquivo},
    }));
    EXPECT_EQ(Destino(), QStringList({"a.dll", "b.dll"}));
}

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

INSTANTIATE_TEST_SUITE_P(Formatos, Extracao, ::testing::ValuesIn(kFormatos),
                         [](const auto& info) { return std::string(info.param.nome); });

class ExtracaoOutrosArquivos : public Extracao {};

TEST_F(ExtracaoOutrosArquivos, WhatIsNotAnArchiveRaisesWithItsReason) {
    struct Caso {
        const char* descricao;
        std::function<QString()> preparar;
        const char* trecho;  // expected in the message
    };
    const Caso casos[] = {
        {"missing", [] { return kPastaPacotes + "\\nada.rar"; },
         "O sistema não pode encontrar o arquivo especificado"},
        {"empty", [this] { return Pacote(std::string()); }, "não é um arquivo compactado"},
        {"text", [this] { return Pacote(std::string(5000, 'x')); }, "danificado ou incompleto"},
        {"an entry's data truncated away",
         [this] {
             const std::string a = EscritorRar4::Montar({{"a.dll", "conteúdo", Tipo::kArquivo}});
             return Pacote(a.substr(0, a.size() - 12));
         },
         "danificado ou incompleto"},
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

// Archives that 7-Zip writes, when it is installed: zip (a stream to libarchive) and 7z
// (which libarchive reads by seeking).
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

    // Makes "pacote.<formato>" in the packages folder and returns its path.
    QString Pacote7Zip(const QString& formato) {
        const QString nome = "pacote." + formato;
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

TEST_F(ExtracaoSeteZip, ReadsZipAnd7z) {
    for (const QString formato : {"zip", "7z"}) {
        SCOPED_TRACE(formato.toStdString());
        instalacao.Apagar(kDestino);
        instalacao.CriarPasta(kDestino);
        Extrair(Pacote7Zip(formato));
        EXPECT_EQ(Destino(), QStringList({"a.exe", "b.dll"}));
        EXPECT_EQ(Ler("a.exe"), QByteArray(200000, 'a'));
        EXPECT_EQ(Ler("b.dll"), QByteArray("bbb"));
    }
}

// Opens the archive once; the second opening fails, as when the file went away.
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

TEST_F(ExtracaoSeteZip, A7zThatCannotBeOpenedAgainToSeekRaises) {
    const QString pacote = Pacote7Zip("7z");
    AbreUmaVez plataforma(instalacao.plataforma());
    try {
        Extrair(pacote, &plataforma);
        FAIL() << "no error";
    } catch (const ErroOrvalis& erro) {
        EXPECT_TRUE(erro.mensagem().contains("O sistema não pode encontrar o arquivo especificado"))
            << erro.mensagem().toStdString();
    }
    EXPECT_TRUE(Destino().isEmpty());
}

}  // namespace
}  // namespace orvalis
