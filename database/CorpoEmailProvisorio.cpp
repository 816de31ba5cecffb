#include "database/CorpoEmailProvisorio.h"

#include <utility>

namespace orvalis {

QString CorpoEmailProvisorio(const DadosCorpoEmail& dados) {
    const std::pair<const char16_t*, const QString*> linhas[] = {
        {u"Empresa", &dados.empresa},
        {u"CNPJ/CPF", &dados.cnpjCpf},
        {u"Contato", &dados.contato},
        {u"Telefone", &dados.fone},
        {u"E-mail", &dados.email},
        {u"Usuário", &dados.usuario},
        {u"Atualizador", &dados.tituloJanela},
        {u"Módulos", &dados.modulos},
        {u"Versão instalada", &dados.versaoInstalada},
        {u"Nova versão", &dados.versaoNova},
    };
    QString corpo;
    for (const auto& [rotulo, valor] : linhas) {
        corpo +=
            QString::fromUtf16(rotulo) + QStringLiteral(": ") + *valor + QStringLiteral("\r\n");
    }
    return corpo;
}

}  // namespace orvalis
