// The INI reader against real files on the temporary drive, read as the Windows INI
// reader reads them.
#include "app/ArquivoIni.h"
#include "tests/fixtures/ImpressaoQt.h"
#include "tests/support/InstalacaoTemporaria.h"

#include <gtest/gtest.h>

namespace orvalis {
namespace {

using teste::InstalacaoTemporaria;

const QString kPadrao = "<padrão>";

TEST(ArquivoIni, ReadsAValueAsTheWindowsReaderDoes) {
    struct Caso {
        const char* descricao;
        QByteArray conteudo;  // the file's bytes, in the ANSI code page
        QString secao, chave, valor;
    };
    const Caso casos[] = {
        {"plain value", "[IniServidor]\r\nnomearquivo=S:\\dados\\Rivelobase.fdb\r\n", "IniServidor",
         "nomearquivo", "S:\\dados\\Rivelobase.fdb"},
        {"names in other letter case", "[INISERVIDOR]\r\nNomeArquivo=x\r\n", "IniServidor",
         "nomearquivo", "x"},
        {"blanks around the name and the value", "[configuracao]\r\n  pastamestre  =  C:\\Up  \r\n",
         "configuracao", "pastamestre", "C:\\Up"},
        {"double quotes", "[IniServidor]\r\nnomearquivo=\"S:\\com espaco\\R.fdb\"\r\n",
         "IniServidor", "nomearquivo", "S:\\com espaco\\R.fdb"},
        {"double quotes and blanks outside them",
         "[configuracao]\r\npastamestre = \" C:\\Up \" \r\n", "configuracao", "pastamestre",
         " C:\\Up "},
        {"single quotes", "[configuracao]\r\npastamestre='C:\\Up'\r\n", "configuracao",
         "pastamestre", "C:\\Up"},
        {"quotes that do not pair", "[configuracao]\r\npastamestre=\"C:\\Up'\r\n", "configuracao",
         "pastamestre", "\"C:\\Up'"},
        {"an opening quote alone", "[configuracao]\r\npastamestre=\"C:\\Up\r\n", "configuracao",
         "pastamestre", "\"C:\\Up"},
        {"one quotation mark", "[configuracao]\r\npastamestre=\"\r\n", "configuracao",
         "pastamestre", "\""},
        {"empty quotes", "[configuracao]\r\npastamestre=\"\"\r\n", "configuracao", "pastamestre",
         ""},
        {"quotes inside the value stay", "[configuracao]\r\npastamestre=\"a\"b\"\r\n",
         "configuracao", "pastamestre", "a\"b"},
        {"the first of two equal keys",
         "[IniServidor]\r\nnomearquivo=primeiro\r\nNOMEARQUIVO=segundo\r\n", "IniServidor",
         "nomearquivo", "primeiro"},
        {"the first section of a name, its key present",
         "[IniServidor]\r\nnomearquivo=primeiro\r\n[Outra]\r\nx=1\r\n[iniservidor]\r\n"
         "nomearquivo=segundo\r\n",
         "IniServidor", "nomearquivo", "primeiro"},
        {"the first section of a name, its key absent",
         "[IniServidor]\r\noutra=1\r\n[IniServidor]\r\nnomearquivo=segundo\r\n", "IniServidor",
         "nomearquivo", kPadrao},
        {"a key without an equals sign", "[IniServidor]\r\nnomearquivo\r\nnomearquivo=depois\r\n",
         "IniServidor", "nomearquivo", kPadrao},
        {"an empty value", "[IniServidor]\r\nnomearquivo=\r\n", "IniServidor", "nomearquivo", ""},
        {"a key of another section", "[Outra]\r\nnomearquivo=x\r\n", "IniServidor", "nomearquivo",
         kPadrao},
        {"a key before every section", "nomearquivo=x\r\n[IniServidor]\r\n", "IniServidor",
         "nomearquivo", kPadrao},
        {"blanks around the section line", "  [configuracao]  \r\npastamestre=C:\\Up\r\n",
         "configuracao", "pastamestre", "C:\\Up"},
        {"line feeds alone", "[configuracao]\npastamestre=C:\\Up\n", "configuracao", "pastamestre",
         "C:\\Up"},
        {"no line break at the end", "[configuracao]\r\npastamestre=C:\\Up", "configuracao",
         "pastamestre", "C:\\Up"},
        {"an equals sign inside the value", "[configuracao]\r\npastamestre=a=b\r\n", "configuracao",
         "pastamestre", "a=b"},
        {"ANSI text", "[configuracao]\r\npastamestre=C:\\Atualiza\xe7\xe3o\r\n", "configuracao",
         "pastamestre", "C:\\Atualização"},
        {"an empty file", "", "configuracao", "pastamestre", kPadrao},
    };
    InstalacaoTemporaria instalacao;
    const QString arquivo = InstalacaoTemporaria::kPastaMestre + "\\orvalisempresa.ini";
    for (const Caso& caso : casos) {
        SCOPED_TRACE(caso.descricao);
        instalacao.Escrever(arquivo, caso.conteudo);
        EXPECT_EQ(
            ArquivoIni(instalacao.plataforma(), arquivo).LerTexto(caso.secao, caso.chave, kPadrao),
            caso.valor);
    }
}

TEST(ArquivoIni, AMissingFileGivesTheDefault) {
    InstalacaoTemporaria instalacao;
    EXPECT_EQ(ArquivoIni(instalacao.plataforma(), InstalacaoTemporaria::kPastaMestre + "\\nada.ini")
                  .LerTexto("IniServidor", "nomearquivo", kPadrao),
              kPadrao);
}

}  // namespace
}  // namespace orvalis
