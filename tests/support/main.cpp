// The test executables' entry: a QApplication on the platform the environment names
// (offscreen under ctest), the C library's regional formats, vendor endpoints that
// never leave this machine, then every test.
#include <QApplication>
#include <QTemporaryFile>

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <memory>

namespace {

// Unless a test run names its own, every vendor endpoint is a closed port on the
// loopback address: a test that forgets to start its server fails at once instead of
// looking for the vendor's hosts.
std::unique_ptr<QTemporaryFile> FornecedorFechado() {
    if (std::getenv("ORVALIS_FORNECEDOR") != nullptr) return nullptr;
    auto arquivo =
        std::make_unique<QTemporaryFile>(QStringLiteral("/tmp/orvalis-fornecedor-XXXXXX.ini"));
    if (!arquivo->open()) return nullptr;
    arquivo->write(
        "[fornecedor]\n"
        "url_notas=http://127.0.0.1:1\n"
        "url_arquivos=https://127.0.0.1:1\n"
        "url_site=https://127.0.0.1:1\n"
        "url_site_http=http://127.0.0.1:1\n"
        "ftp_host=127.0.0.1\n"
        "ftp_porta=1\n"
        "email_host=127.0.0.1\n"
        "smtp_porta=1\n"
        "pop3_porta=1\n"
        // Releases unchecked, whatever key the build holds; a test that signs sets its own.
        "chave_publica=\n");
    arquivo->flush();
    setenv("ORVALIS_FORNECEDOR", arquivo->fileName().toLocal8Bit().constData(), 1);
    return arquivo;
}

}  // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Where the tests find the server scripts and the program they start.
    setenv("ORVALIS_SOURCE_DIR", ORVALIS_SOURCE_DIR_TESTES, 0);
    setenv("ORVALIS_BINARY_DIR", ORVALIS_BINARY_DIR_TESTES, 0);
    std::setlocale(LC_TIME, "");
    auto fornecedor = FornecedorFechado();
    QApplication aplicacao(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
