#include "app/ArquivoIni.h"

#include "platform/Ansi.h"
#include "platform/Platform.h"

#include <Poco/AutoPtr.h>
#include <Poco/Exception.h>
#include <Poco/Util/IniFileConfiguration.h>

#include <sstream>
#include <utility>

namespace orvalis {

ArquivoIni::ArquivoIni(Platform& plataforma, QString caminho)
    : plataforma_(plataforma), caminho_(std::move(caminho)) {}

QString ArquivoIni::LerTexto(const QString& secao, const QString& chave,
                             const QString& padrao) const {
    QByteArray conteudo;
    if (!plataforma_.ReadFile(caminho_, &conteudo)) return padrao;
    try {
        std::istringstream entrada(ToUtf8(FromAnsi(conteudo)));
        Poco::AutoPtr<Poco::Util::IniFileConfiguration> ini(
            new Poco::Util::IniFileConfiguration(entrada));
        const std::string nome = ToUtf8(secao) + "." + ToUtf8(chave);
        if (!ini->hasProperty(nome)) return padrao;
        return FromUtf8(ini->getRawString(nome));
    } catch (const Poco::Exception&) {
        // An unreadable INI is read as if the key were missing.
        return padrao;
    }
}

}  // namespace orvalis
