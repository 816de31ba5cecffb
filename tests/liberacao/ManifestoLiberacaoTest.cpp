// The release manifest's text, fixed to the byte, and the signature file beside it.
#include "app/Erros.h"
#include "liberacao/AssinaturaLiberacao.h"
#include "liberacao/Base64.h"
#include "liberacao/ChavePrivadaEd25519.h"
#include "liberacao/ConferenciaLiberacao.h"
#include "liberacao/ManifestoLiberacao.h"
#include "liberacao/ResumoSha256.h"
#include "platform/PosixPlatform.h"
#include "tests/support/ImpressaoQt.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace orvalis {
namespace {

const QByteArray kResumoA = ResumoSha256::De("a");
const QByteArray kHexA = kResumoA.toHex();  // ca978112...
const QByteArray kHexB = ResumoSha256::De("b").toHex();

// A manifest as another tool would write it: the rows in any order.
QByteArray Texto(const QByteArray& versao, const QList<QByteArray>& linhas) {
    QByteArray texto = "[liberacao]\r\nversao=" + versao + "\r\n\r\n[pacotes]\r\n";
    for (const QByteArray& linha : linhas) texto += linha + "\r\n";
    return texto;
}

TEST(ManifestoLiberacao, WritesTheFixedTextWithTheRowsSortedByTheirBytes) {
    const ManifestoLiberacao manifesto("2.8", {{"sql.rar", {1, kResumoA}},
                                               {"WinRAR.exe", {1482112, ResumoSha256::De("b")}},
                                               {"orvalisService.rar", {0, kResumoA}}});
    EXPECT_EQ(manifesto.Texto(),
              "[liberacao]\r\n"
              "versao=2.8\r\n"
              "\r\n"
              "[pacotes]\r\n"
              "WinRAR.exe=1482112 " +
                  kHexB +
                  "\r\n"
                  "orvalisService.rar=0 " +
                  kHexA +
                  "\r\n"
                  "sql.rar=1 " +
                  kHexA + "\r\n");
    const auto lido = ManifestoLiberacao::Ler(manifesto.Texto());
    ASSERT_TRUE(lido);
    EXPECT_EQ(lido->versao(), "2.8");
    EXPECT_EQ(lido->pacotes(), manifesto.pacotes());
}

TEST(ManifestoLiberacao, ReadsAWellFormedTextWhateverTheOrderOfItsRows) {
    const auto lido = ManifestoLiberacao::Ler(
        Texto("2.8 beta", {"sql.rar=9223372036854775807 " + kHexA, "WinRAR.exe=0 " + kHexB,
                           "orvalis Empresa (1).rar=12 " + kHexA}));
    ASSERT_TRUE(lido);
    EXPECT_EQ(lido->versao(), "2.8 beta");
    ASSERT_NE(lido->Procurar("sql.rar"), nullptr);
    EXPECT_EQ(lido->Procurar("sql.rar")->tamanho, 9223372036854775807ull);
    EXPECT_EQ(lido->Procurar("sql.rar")->sha256, kResumoA);
    EXPECT_NE(lido->Procurar("orvalis Empresa (1).rar"), nullptr);
    EXPECT_EQ(lido->Procurar("SQL.RAR"), nullptr) << "letter case counts";
    EXPECT_EQ(lido->Procurar("sql"), nullptr);
    EXPECT_TRUE(ManifestoLiberacao::Ler(Texto("2.8", {}))) << "a release without packages";
}

struct Recusa {
    const char* caso;
    QByteArray texto;
};

void PrintTo(const Recusa& caso, std::ostream* saida) {
    *saida << caso.caso;
}

class TextoRecusado : public ::testing::TestWithParam<Recusa> {};

TEST_P(TextoRecusado, IsNotAManifest) {
    EXPECT_FALSE(ManifestoLiberacao::Ler(GetParam().texto));
}

const QByteArray kBom = Texto("2.8", {"sql.rar=1 " + kHexA});

QByteArray Trocar(QByteArray texto, const QByteArray& de, const QByteArray& para) {
    return texto.replace(de, para);
}

INSTANTIATE_TEST_SUITE_P(
    Manifesto, TextoRecusado,
    ::testing::Values(
        // line breaks and bytes
        Recusa{"LineFeedsAlone", Trocar(kBom, "\r\n", "\n")},
        Recusa{"CarriageReturnsAlone", Trocar(kBom, "\r\n", "\r")},
        Recusa{"ACarriageReturnInARow", Trocar(kBom, "sql.rar", "sql\r.rar")},
        Recusa{"NoLineBreakAtTheEnd", kBom.chopped(2)},
        Recusa{"ByteOrderMark", "\xEF\xBB\xBF" + kBom},
        Recusa{"NotAscii", Trocar(kBom, "sql.rar", "sql\xE7.rar")},
        Recusa{"Tab", Trocar(kBom, "=1 ", "=1\t")}, Recusa{"Nul", kBom + QByteArray(1, '\0')},
        Recusa{"Empty", QByteArray()},
        // sections and keys
        Recusa{"SectionInCapitals", Trocar(kBom, "[liberacao]", "[Liberacao]")},
        Recusa{"KeyInCapitals", Trocar(kBom, "versao=", "Versao=")},
        Recusa{"BlanksAroundTheEquals", Trocar(kBom, "versao=", "versao = ")},
        Recusa{"NoVersion", Trocar(kBom, "versao=2.8\r\n", "")},
        Recusa{"AnUnknownKey", Trocar(kBom, "versao=2.8\r\n", "versao=2.8\r\ndata=hoje\r\n")},
        Recusa{"TwoVersions", Trocar(kBom, "versao=2.8\r\n", "versao=2.8\r\nversao=2.9\r\n")},
        Recusa{"NoBlankLine", Trocar(kBom, "\r\n\r\n", "\r\n")},
        Recusa{"TwoBlankLines", Trocar(kBom, "\r\n\r\n", "\r\n\r\n\r\n")},
        Recusa{"ABlankLineAtTheEnd", kBom + "\r\n"}, Recusa{"AComment", kBom + "; nota\r\n"},
        Recusa{"NoPackageSection", "[liberacao]\r\nversao=2.8\r\n"},
        Recusa{"AnotherSection", kBom + "[outros]\r\n"},
        Recusa{"SectionsSwapped",
               "[pacotes]\r\nsql.rar=1 " + kHexA + "\r\n\r\n[liberacao]\r\nversao=2.8\r\n"},
        // versions
        Recusa{"EmptyVersion", Texto("", {})}, Recusa{"VersionWithASemicolon", Texto("2.8;", {})},
        Recusa{"VersionWithABracket", Texto("[2.8]", {})},
        Recusa{"VersionWithAnEquals", Texto("2=8", {})},
        Recusa{"VersionWithAQuote", Texto("\"2.8\"", {})},
        Recusa{"VersionWithABlankFirst", Texto(" 2.8", {})},
        Recusa{"VersionWithABlankLast", Texto("2.8 ", {})},
        Recusa{"VersionTooLong", Texto(QByteArray(65, '9'), {})},
        // rows
        Recusa{"NoEquals", Texto("2.8", {"sql.rar 1 " + kHexA})},
        Recusa{"EmptyName", Texto("2.8", {"=1 " + kHexA})},
        Recusa{"NameWithABackslash", Texto("2.8", {"a\\sql.rar=1 " + kHexA})},
        Recusa{"NameWithASlash", Texto("2.8", {"a/sql.rar=1 " + kHexA})},
        Recusa{"NameWithAColon", Texto("2.8", {"c:sql.rar=1 " + kHexA})},
        Recusa{"NameStartingWithASemicolon", Texto("2.8", {";sql.rar=1 " + kHexA})},
        Recusa{"NameStartingWithABracket", Texto("2.8", {"[sql.rar=1 " + kHexA})},
        Recusa{"NameStartingWithABlank", Texto("2.8", {" sql.rar=1 " + kHexA})},
        Recusa{"NameEndingWithABlank", Texto("2.8", {"sql.rar =1 " + kHexA})},
        Recusa{"NameEndingWithADot", Texto("2.8", {"sql.=1 " + kHexA})},
        Recusa{"NameTooLong", Texto("2.8", {QByteArray(256, 'a') + "=1 " + kHexA})},
        Recusa{"TheSameNameTwice", Texto("2.8", {"sql.rar=1 " + kHexA, "sql.rar=1 " + kHexA})},
        Recusa{"SizeWithAPlus", Texto("2.8", {"sql.rar=+1 " + kHexA})},
        Recusa{"SizeWithAMinus", Texto("2.8", {"sql.rar=-1 " + kHexA})},
        Recusa{"SizeWithALeadingZero", Texto("2.8", {"sql.rar=01 " + kHexA})},
        Recusa{"SizeWithADot", Texto("2.8", {"sql.rar=1.0 " + kHexA})},
        Recusa{"SizeInHex", Texto("2.8", {"sql.rar=0x1 " + kHexA})},
        Recusa{"SizeMissing", Texto("2.8", {"sql.rar= " + kHexA})},
        Recusa{"SizeAboveTheLargestFile", Texto("2.8", {"sql.rar=9223372036854775808 " + kHexA})},
        Recusa{"SizeOfTwentyDigits", Texto("2.8", {"sql.rar=10000000000000000000 " + kHexA})},
        Recusa{"TwoBlanks", Texto("2.8", {"sql.rar=1  " + kHexA})},
        Recusa{"NoDigest", Texto("2.8", {"sql.rar=1"})},
        Recusa{"NoDigestAfterTheBlank", Texto("2.8", {"sql.rar=1 "})},
        Recusa{"DigestTooShort", Texto("2.8", {"sql.rar=1 " + kHexA.chopped(1)})},
        Recusa{"DigestTooLong", Texto("2.8", {"sql.rar=1 " + kHexA + "0"})},
        Recusa{"DigestInCapitals", Texto("2.8", {"sql.rar=1 " + kHexA.toUpper()})},
        Recusa{"DigestNotHex", Texto("2.8", {"sql.rar=1 " + kHexA.chopped(1) + "g"})},
        Recusa{"DigestInBase64", Texto("2.8", {"sql.rar=1 " + Base64::Codificar(kResumoA)})},
        Recusa{"SomethingAfterTheDigest", Texto("2.8", {"sql.rar=1 " + kHexA + " x"})}),
    [](const ::testing::TestParamInfo<Recusa>& info) { return info.param.caso; });

TEST(ManifestoLiberacao, RefusesToWriteWhatItCouldNotReadBack) {
    for (const auto& [versao, nome] : {std::pair<QString, QString>("2.8;", "sql.rar"),
                                       std::pair<QString, QString>("2.8", "a=b.rar"),
                                       std::pair<QString, QString>("2.8", "ação.rar")}) {
        SCOPED_TRACE(nome.toStdString());
        const ManifestoLiberacao manifesto(versao, {{nome, {1, kResumoA}}});
        EXPECT_THROW(manifesto.Texto(), ErroOrvalis);
    }
}

TEST(AssinaturaLiberacao, IsTheBase64OfTheSignatureWithOneOptionalLineBreak) {
    const QByteArray assinatura = ResumoSha256::De("a") + ResumoSha256::De("b");
    const QByteArray base64 = Base64::Codificar(assinatura);
    EXPECT_EQ(AssinaturaLiberacao::Texto(assinatura), base64 + "\r\n");
    for (const QByteArray& texto : {base64, base64 + "\n", base64 + "\r\n"}) {
        EXPECT_EQ(AssinaturaLiberacao::Ler(texto), std::optional<QByteArray>(assinatura));
    }
    for (const QByteArray& texto :
         {base64 + "\n\n", base64 + "\r", base64 + " ", " " + base64, base64.chopped(2),
          Base64::Codificar(assinatura.left(63)), Base64::Codificar(assinatura + 'x'), QByteArray(),
          QByteArray("\n")}) {
        SCOPED_TRACE(texto.toStdString());
        EXPECT_EQ(AssinaturaLiberacao::Ler(texto), std::nullopt);
    }
}

// What the updater decides of a manifest and its signature as they arrive.
class ConferenciaManifesto : public ::testing::Test {
  protected:
    ChavePrivadaEd25519 chave = ChavePrivadaEd25519::Gerar();
    QByteArray manifesto = kBom;
    QByteArray assinatura = AssinaturaLiberacao::Texto(chave.Assinar(kBom));
    std::optional<ManifestoLiberacao> lido;

    ConferenciaLiberacao::Manifesto Conferir(const QString& versao = "2.8") {
        return ConferenciaLiberacao::ConferirManifesto(chave.Publica(), manifesto, assinatura,
                                                       versao, &lido);
    }
};

TEST_F(ConferenciaManifesto, AcceptsTheSignedManifestOfTheRelease) {
    EXPECT_EQ(Conferir(), ConferenciaLiberacao::Manifesto::kAceito);
    ASSERT_TRUE(lido);
    EXPECT_NE(lido->Procurar("sql.rar"), nullptr);
}

TEST_F(ConferenciaManifesto, RefusesAnAlteredOrForeignSignatureBeforeReadingTheManifest) {
    using M = ConferenciaLiberacao::Manifesto;
    manifesto[manifesto.size() - 3] = manifesto[manifesto.size() - 3] == 'a' ? 'b' : 'a';
    EXPECT_EQ(Conferir(), M::kAssinaturaInvalida) << "a flipped byte in the manifest";
    EXPECT_FALSE(lido);
    manifesto = kBom;
    assinatura[10] = assinatura[10] == 'A' ? 'B' : 'A';
    EXPECT_EQ(Conferir(), M::kAssinaturaInvalida) << "a flipped character in the signature";
    assinatura = AssinaturaLiberacao::Texto(ChavePrivadaEd25519::Gerar().Assinar(kBom));
    EXPECT_EQ(Conferir(), M::kAssinaturaInvalida) << "signed by another key";
    assinatura = "não é base64";
    EXPECT_EQ(Conferir(), M::kAssinaturaInvalida);
    assinatura.clear();
    EXPECT_EQ(Conferir(), M::kAssinaturaInvalida);
}

TEST_F(ConferenciaManifesto, RefusesASignedManifestOfAnotherVersionOrShape) {
    EXPECT_EQ(Conferir("2.9"), ConferenciaLiberacao::Manifesto::kVersaoDiferente);
    ASSERT_TRUE(lido);
    EXPECT_EQ(lido->versao(), "2.8");
    EXPECT_EQ(Conferir("2.8.ERP"), ConferenciaLiberacao::Manifesto::kVersaoDiferente);
    EXPECT_EQ(Conferir(""), ConferenciaLiberacao::Manifesto::kVersaoDiferente);
    manifesto = Trocar(kBom, "\r\n", "\n");
    assinatura = AssinaturaLiberacao::Texto(chave.Assinar(manifesto));
    EXPECT_EQ(Conferir(), ConferenciaLiberacao::Manifesto::kManifestoInvalido);
    EXPECT_FALSE(lido);
}

TEST(ConferenciaPacote, ComparesTheSizeAndTheDigestOfTheFile) {
    QTemporaryDir pasta;
    PosixPlatform plataforma{QStringLiteral("B=") + pasta.path()};
    auto gravar = [&](const char* nome, const QByteArray& conteudo) {
        QFile arquivo(pasta.filePath(nome));
        ASSERT_TRUE(arquivo.open(QIODevice::WriteOnly));
        arquivo.write(conteudo);
    };
    gravar("a.rar", "a");
    gravar("b.rar", "b");
    gravar("aa.rar", "aa");
    gravar("vazio.rar", "");
    const ManifestoLiberacao manifesto("2.8", {{"a.rar", {1, kResumoA}},
                                               {"b.rar", {1, kResumoA}},
                                               {"aa.rar", {1, kResumoA}},
                                               {"vazio.rar", {1, kResumoA}},
                                               {"sumido.rar", {1, kResumoA}}});
    using P = ConferenciaLiberacao::Pacote;
    const std::tuple<const char*, const char*, P> casos[] = {
        {"a.rar", "B:\\a.rar", P::kConfere},
        {"b.rar", "B:\\b.rar", P::kDiferente},          // same size, another digest
        {"aa.rar", "B:\\aa.rar", P::kDiferente},        // longer
        {"vazio.rar", "B:\\vazio.rar", P::kDiferente},  // shorter
        {"A.rar", "B:\\a.rar", P::kSemLinha},           // letter case counts
        {"c.rar", "B:\\a.rar", P::kSemLinha},
        {"sumido.rar", "B:\\sumido.rar", P::kIlegivel},
    };
    for (const auto& [nome, caminho, esperado] : casos) {
        SCOPED_TRACE(nome);
        EXPECT_EQ(ConferenciaLiberacao::ConferirArquivo(plataforma, manifesto, nome, caminho),
                  esperado);
    }
}

}  // namespace
}  // namespace orvalis
