#include "net/Endpoints.h"

#include "net/EndpointsConfig.h"

#include <Poco/Exception.h>
#include <Poco/Util/IniFileConfiguration.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <utility>

namespace orvalis {

namespace {

// The keys of section [fornecedor] and the fields they replace.
const std::pair<const char*, QString Endpoints::*> kChavesTexto[] = {
    {"url_notas", &Endpoints::urlNotas},
    {"url_arquivos", &Endpoints::urlArquivos},
    {"url_site", &Endpoints::urlSite},
    {"url_site_http", &Endpoints::urlSiteHttp},
    {"ftp_host", &Endpoints::ftpHost},
    {"ftp_usuario_arquivos", &Endpoints::ftpUsuarioArquivos},
    {"ftp_usuario_site", &Endpoints::ftpUsuarioSite},
    {"email_host", &Endpoints::emailHost},
    {"email_conta", &Endpoints::emailConta},
    {"email_suporte", &Endpoints::emailSuporte},
    {"chave_publica", &Endpoints::chavePublica},
};
const std::pair<const char*, int Endpoints::*> kChavesNumero[] = {
    {"ftp_porta", &Endpoints::ftpPorta},
    {"smtp_porta", &Endpoints::smtpPorta},
    {"pop3_porta", &Endpoints::pop3Porta},
};

}  // namespace

Endpoints Endpoints::Constantes() {
    Endpoints e;
    e.urlNotas = QString::fromUtf8(fornecedor::kUrlNotas);
    e.urlArquivos = QString::fromUtf8(fornecedor::kUrlArquivos);
    e.urlSite = QString::fromUtf8(fornecedor::kUrlSite);
    e.urlSiteHttp = QString::fromUtf8(fornecedor::kUrlSiteHttp);
    e.ftpHost = QString::fromUtf8(fornecedor::kFtpHost);
    e.ftpPorta = fornecedor::kFtpPorta;
    e.ftpUsuarioArquivos = QString::fromUtf8(fornecedor::kFtpUsuarioArquivos);
    e.ftpUsuarioSite = QString::fromUtf8(fornecedor::kFtpUsuarioSite);
    e.ftpSenha = QString::fromUtf8(fornecedor::kFtpSenha);
    e.emailHost = QString::fromUtf8(fornecedor::kEmailHost);
    e.smtpPorta = fornecedor::kSmtpPorta;
    e.pop3Porta = fornecedor::kPop3Porta;
    e.emailConta = QString::fromUtf8(fornecedor::kEmailConta);
    e.emailSuporte = QString::fromUtf8(fornecedor::kEmailSuporte);
    e.emailSenha = QString::fromUtf8(fornecedor::kEmailSenha);
    e.chavePublica = QString::fromUtf8(fornecedor::kChavePublica);
    return e;
}

Endpoints Endpoints::Carregar(const QString& arquivoIni) {
    Endpoints e = Constantes();
    std::ifstream entrada(arquivoIni.toStdString());
    if (!entrada) {
        std::fprintf(stderr,
                     "orvalisAtualizador: não foi possível ler o arquivo de endereços "
                     "'%s'; valem os endereços padrão.\n",
                     arquivoIni.toLocal8Bit().constData());
        return e;
    }
    try {
        Poco::AutoPtr<Poco::Util::IniFileConfiguration> ini(
            new Poco::Util::IniFileConfiguration(entrada));
        for (const auto& [chave, campo] : kChavesTexto) {
            const std::string nome = std::string("fornecedor.") + chave;
            if (ini->hasProperty(nome)) e.*campo = QString::fromStdString(ini->getString(nome));
        }
        for (const auto& [chave, campo] : kChavesNumero) {
            const std::string nome = std::string("fornecedor.") + chave;
            if (ini->hasProperty(nome)) e.*campo = ini->getInt(nome);
        }
    } catch (const Poco::Exception& erro) {
        std::fprintf(stderr,
                     "orvalisAtualizador: arquivo de endereços '%s' inválido (%s); valem os "
                     "endereços padrão.\n",
                     arquivoIni.toLocal8Bit().constData(), erro.displayText().c_str());
        return Constantes();
    }
    return e;
}

QString Endpoints::TextoIni() const {
    QString ini = QStringLiteral("[fornecedor]\n");
    for (const auto& [chave, campo] : kChavesTexto) {
        ini += QString::fromLatin1(chave) + QLatin1Char('=') + this->*campo + QLatin1Char('\n');
    }
    for (const auto& [chave, campo] : kChavesNumero) {
        ini += QString::fromLatin1(chave) + QLatin1Char('=') + QString::number(this->*campo) +
               QLatin1Char('\n');
    }
    return ini;
}

namespace {

Endpoints& EmVigor() {
    static Endpoints atuais = [] {
        const char* arquivo = std::getenv("ORVALIS_FORNECEDOR");
        if (arquivo == nullptr || *arquivo == '\0') return Endpoints::Constantes();
        return Endpoints::Carregar(QString::fromLocal8Bit(arquivo));
    }();
    return atuais;
}

}  // namespace

const Endpoints& Endpoints::Atuais() {
    return EmVigor();
}

void Endpoints::Substituir(const Endpoints& novos) {
    EmVigor() = novos;
}

}  // namespace orvalis
