#include "net/Endpoints.h"

#include "net/EndpointsConfig.h"

#include <Poco/Exception.h>
#include <Poco/Util/IniFileConfiguration.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace orvalis {

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
        auto texto = [&](const char* chave, QString& campo) {
            std::string nome = std::string("fornecedor.") + chave;
            if (ini->hasProperty(nome)) campo = QString::fromStdString(ini->getString(nome));
        };
        auto numero = [&](const char* chave, int& campo) {
            std::string nome = std::string("fornecedor.") + chave;
            if (ini->hasProperty(nome)) campo = ini->getInt(nome);
        };
        texto("url_notas", e.urlNotas);
        texto("url_arquivos", e.urlArquivos);
        texto("url_site", e.urlSite);
        texto("url_site_http", e.urlSiteHttp);
        texto("ftp_host", e.ftpHost);
        numero("ftp_porta", e.ftpPorta);
        texto("ftp_usuario_arquivos", e.ftpUsuarioArquivos);
        texto("ftp_usuario_site", e.ftpUsuarioSite);
        texto("email_host", e.emailHost);
        numero("smtp_porta", e.smtpPorta);
        numero("pop3_porta", e.pop3Porta);
        texto("email_conta", e.emailConta);
        texto("email_suporte", e.emailSuporte);
    } catch (const Poco::Exception& erro) {
        std::fprintf(stderr,
                     "orvalisAtualizador: arquivo de endereços '%s' inválido (%s); valem os "
                     "endereços padrão.\n",
                     arquivoIni.toLocal8Bit().constData(), erro.displayText().c_str());
        return Constantes();
    }
    return e;
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
