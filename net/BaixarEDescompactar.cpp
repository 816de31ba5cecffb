#include "app/Andamento.h"
#include "app/Erros.h"
#include "app/UnFuncaoOrvalis.h"
#include "app/UnPrincipal.h"
#include "net/Endpoints.h"
#include "net/Extracao.h"
#include "net/SiteAtivo.h"
#include "platform/Platform.h"

#include <vector>

namespace orvalis {

namespace {

const QString kPacoteDll = QStringLiteral("orvalisPacoteDll.rar");

}  // namespace

QString TfrmPrincipal::UrlDoPacote(const QString& nome) {
    const SondagemSites site = SondarSites(Endpoints::Atuais());
    for (const RecusaCertificado& recusa : site.recusas) {
        if (!itCertificadosRecusados.contains(recusa.Descricao())) {
            itCertificadosRecusados.append(recusa.Descricao());
        }
    }
    // A refused certificate may be an interceptor's: the plain-HTTP fallback would let it
    // serve the executables. It stays for a host that does not answer at all.
    if (site.url.startsWith(QLatin1String("http:")) && !itCertificadosRecusados.isEmpty()) {
        for (const QString& recusa : itCertificadosRecusados) {
            AdicionarLog(QStringLiteral("   - Erro: Certificado recusado de ") + recusa);
        }
        AdicionarLog(
            QStringLiteral("   - Erro: Download sem criptografia não permitido "
                           "após um certificado recusado."));
        itDownloadAplicativo = false;
        Abortar();
    }
    return site.url + QStringLiteral("/update/Atualizacao/orvalis%20Empresa/") + nome;
}

void TfrmPrincipal::BaixarEDescompactar(const QString& nomeArquivo, const QString& pastaDestino,
                                        bool descompactar) {
    const QString pastaAtualizador = PastaAtualizador(plataforma_);
    const QString arquivoLocal = pastaDestino + QLatin1Char('\\') + nomeArquivo;
    AdicionarLog(QStringLiteral("   - Fazendo download do ") + nomeArquivo +
                 QStringLiteral(" em: ") + pastaDestino);
    try {
        const QString url = UrlDoPacote(nomeArquivo);
        {
            const Andamento andamento(indicadorAndamento(),
                                      QStringLiteral("Baixando ") + nomeArquivo);
            if (!BaixarPacoteConferido(url, nomeArquivo, arquivoLocal, andamento.Rotina())) {
                Abortar();
            }
        }
        if (descompactar) {
            try {
                {
                    const Andamento andamento(indicadorAndamento(),
                                              QStringLiteral("Descompactando ") + nomeArquivo);
                    ExtrairArquivo(plataforma_, pastaAtualizador, arquivoLocal, pastaDestino,
                                   andamento.Rotina());
                }
                plataforma_.Sleep(5000);
                const QString naPastaAtualizador =
                    pastaAtualizador + QLatin1Char('\\') + nomeArquivo;
                if (plataforma_.FileExists(naPastaAtualizador) && nomeArquivo != kPacoteDll) {
                    plataforma_.DeleteFile(naPastaAtualizador);
                }
                // An application package's executable waits in the work folder until
                // phase 6 installs it, after phase 3 has saved the one in use.
                const bool pacoteDeAplicativo =
                    pastaDestino.compare(pastaAtualizador + QStringLiteral("\\tmp"),
                                         Qt::CaseInsensitive) == 0;
                if (!pacoteDeAplicativo) {
                    const QString radical = nomeArquivo.left(nomeArquivo.lastIndexOf('.') + 1);
                    plataforma_.CopyFile(
                        pastaDestino + QLatin1Char('\\') + radical + QStringLiteral("exe"),
                        ExtrairCaminhoArquivo(pastaDestino) + radical + QStringLiteral("exe"));
                }
                plataforma_.Sleep(1000);
            } catch (...) {
                AdicionarLog(QStringLiteral("   - Erro: Descompactação do ") + nomeArquivo);
                // A package refused as damaged, or for an entry that would fill the drive,
                // says what was refused.
                try {
                    throw;
                } catch (const ErroOrvalis& erro) {
                    AdicionarLog(QStringLiteral("   - ") + erro.mensagem());
                } catch (...) {
                }
                itDownloadAplicativo = false;
                Abortar();
            }
        }
    } catch (...) {
        AdicionarLog(QStringLiteral("   - Erro: Falha no download do ") + nomeArquivo);
        itDownloadAplicativo = false;
        Abortar();
    }
    const QString parcial = pastaAtualizador + QLatin1Char('\\') + nomeArquivo + ".part";
    if (plataforma_.FileExists(parcial)) {
        AdicionarLog(QStringLiteral("   - Erro: Falha no download do ") + nomeArquivo);
        plataforma_.DeleteFile(parcial);
        // A leftover of a broken transfer means this package cannot be trusted either.
        itDownloadAplicativo = false;
        Abortar();
    }
    AdicionarLog(QStringLiteral("   - OK"));
}

void TfrmPrincipal::Fase2DownloadAplicativos() {
    // The run's downloads begin here; what an earlier run's probes refused is its own.
    itCertificadosRecusados.clear();
    LimparPastaTmp();
    AdicionarLog(QStringLiteral(" FASE 2 de 7 - DOWNLOAD DOS APLICATIVOS:"));
    VerificarLiberacao();
    const QString pastaAtualizador = PastaAtualizador(plataforma_);
    BaixarEDescompactar(QStringLiteral("WinRAR.exe"), pastaAtualizador, false);
    BaixarEDescompactar(QStringLiteral("orvalisAssistente.exe"), pastaAtualizador, false);
    BaixarEDescompactar(kPacoteDll, pastaAtualizador, true);
    BaixarEDescompactar(QStringLiteral("orvalisConectado.rar"), pastaAtualizador, true);
    BaixarEDescompactar(QStringLiteral("orvalisMonitorPublicacao.rar"), pastaAtualizador, true);
    BaixarEDescompactar(QStringLiteral("orvalisService.rar"), pastaAtualizador, true);
    plataforma_.CreateDirectory(itDiretorioPastaMestre + QStringLiteral("\\tmp"));
    try {
        plataforma_.ProcessMessages();
        plataforma_.Sleep(2000);
        DesconectarFtp();
        std::vector<DirEntry> entradas;
        plataforma_.ListDirectory(itDiretorioPastaMestre + QStringLiteral("\\*.exe"), &entradas);
        for (const DirEntry& entrada : entradas) {
            if (AplicativoAtualizavel(itDiretorioPastaMestre + QLatin1Char('\\') + entrada.name)) {
                QString pacote = entrada.name;
                pacote.replace(QStringLiteral(".exe"), QStringLiteral(".rar"));
                BaixarEDescompactar(pacote, pastaAtualizador + QStringLiteral("\\tmp"), true);
            }
        }
    } catch (...) {
        // A failed application package ends the phase normally; the flag it cleared
        // stops the run.
    }
}

}  // namespace orvalis
