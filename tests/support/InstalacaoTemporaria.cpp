#include "tests/support/InstalacaoTemporaria.h"

#include <QDir>
#include <QFile>

#include <filesystem>
#include <stdexcept>

namespace orvalis::teste {

InstalacaoTemporaria::InstalacaoTemporaria() : raiz_(QDir::tempPath() + "/orvalis-inst.XXXXXX") {
    if (!raiz_.isValid()) throw std::runtime_error("temporary folder not created");
    QDir(raiz_.path()).mkpath(QStringLiteral("C"));
    QDir(raiz_.path()).mkpath(QStringLiteral("D"));
    CriarPasta(kPastaMestre);
    CriarPasta(kPastaDados);
    CriarPasta(kPastaEstacao);
    plataforma_ = std::make_unique<PlataformaTeste>(unidades());
    plataforma_->caminhoExecutavel = kPastaMestre + QStringLiteral("\\orvalisAtualizador.exe");
}

InstalacaoTemporaria::~InstalacaoTemporaria() = default;

QString InstalacaoTemporaria::unidades() const {
    return QStringLiteral("C=%1/C;D=%1/D").arg(raiz_.path());
}

QString InstalacaoTemporaria::Nativo(const QString& caminhoWindows) const {
    if (caminhoWindows.size() < 2 || caminhoWindows[1] != QLatin1Char(':')) {
        throw std::invalid_argument("not a drive path: " + caminhoWindows.toStdString());
    }
    QString resto = caminhoWindows.mid(2);
    resto.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return raiz_.path() + QLatin1Char('/') + caminhoWindows.left(1).toUpper() + resto;
}

std::string InstalacaoTemporaria::Encontrado(const QString& caminhoWindows) {
    std::string nativo;
    if (!plataforma_->NativePath(caminhoWindows, &nativo)) {
        throw std::runtime_error("cannot resolve " + caminhoWindows.toStdString());
    }
    return nativo;
}

void InstalacaoTemporaria::CriarPasta(const QString& caminhoWindows) const {
    std::filesystem::create_directories(Nativo(caminhoWindows).toStdString());
}

void InstalacaoTemporaria::Escrever(const QString& caminhoWindows,
                                    const QByteArray& conteudo) const {
    QFile arquivo(Nativo(caminhoWindows));
    if (!arquivo.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        arquivo.write(conteudo) != conteudo.size()) {
        throw std::runtime_error("cannot write " + caminhoWindows.toStdString());
    }
}

QByteArray InstalacaoTemporaria::Ler(const QString& caminhoWindows) const {
    QFile arquivo(Nativo(caminhoWindows));
    if (!arquivo.open(QIODevice::ReadOnly)) {
        throw std::runtime_error("cannot read " + caminhoWindows.toStdString());
    }
    return arquivo.readAll();
}

bool InstalacaoTemporaria::Existe(const QString& caminhoWindows) const {
    return std::filesystem::exists(Nativo(caminhoWindows).toStdString());
}

void InstalacaoTemporaria::Apagar(const QString& caminhoWindows) const {
    std::filesystem::remove_all(Nativo(caminhoWindows).toStdString());
}

QStringList InstalacaoTemporaria::Listar(const QString& caminhoWindows) const {
    QDir pasta(Nativo(caminhoWindows));
    if (!pasta.exists()) return {};
    return pasta.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                           QDir::Name);
}

void InstalacaoTemporaria::CopiarPara(InstalacaoTemporaria& destino) const {
    namespace fs = std::filesystem;
    for (const char* unidade : {"C", "D"}) {
        const fs::path origem = fs::path(raiz_.path().toStdString()) / unidade;
        const fs::path alvo = fs::path(destino.raiz_.path().toStdString()) / unidade;
        fs::remove_all(alvo);
        fs::copy(origem, alvo, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
        // The program tells a copy of a file by its size and last-write time, as the
        // platform's copy keeps them: so does this one.
        for (const fs::directory_entry& entrada : fs::recursive_directory_iterator(origem)) {
            if (!entrada.is_regular_file()) continue;
            fs::last_write_time(alvo / fs::relative(entrada.path(), origem),
                                entrada.last_write_time());
        }
    }
}

}  // namespace orvalis::teste
