#pragma once

#include "app/UnPrincipal.h"
#include "tests/support/BancoTeste.h"
#include "tests/support/ImpressaoQt.h"
#include "tests/support/InstalacaoTemporaria.h"
#include "tests/support/PlataformaFalhas.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <memory>

namespace orvalis::teste {

// A server installation with the ERP database in its Dados folder and a main window
// set up as the launch parameters leave it: master folder with its tmp staging folder,
// the live path "...\Dados\Rivelobase.fdb" (the file on disk is RIVELOBASE.FDB), the
// run's backup folder created, installed version 2.7 and site version 2.8, user 7.
// The window works through PlataformaFalhas over the installation's recording platform.
class CenarioBanco : public ::testing::Test {
  protected:
    static inline const QString kDados = InstalacaoTemporaria::kPastaDados;
    static inline const QString kArquivoVivo = kDados + QStringLiteral("\\RIVELOBASE.FDB");
    static inline const QString kArquivoRetido = kDados + QStringLiteral("\\OLD_RIVELOBASE.FDB");
    static inline const QString kCaminhoVivo = kDados + QStringLiteral("\\Rivelobase.fdb");
    static inline const QString kStaging =
        InstalacaoTemporaria::kPastaMestre + QStringLiteral("\\tmp");

    explicit CenarioBanco(BancoTeste::Variante variante = BancoTeste::Variante::kCompleta);

    InstalacaoTemporaria instalacao;
    PlataformaTeste& registro = instalacao.plataforma();
    PlataformaFalhas plataforma{registro};
    TfrmPrincipal janela{plataforma};

    // The progress log without the stamps.
    QStringList Log() const;
    // The native path of a Windows path of the installation.
    std::string Nativo(const QString& caminho) const;
    // An attachment of its own to the database under the given name.
    std::unique_ptr<BancoTeste> Abrir(const QString& caminho) const;
    // Writes a package file orvEMP<numero>.sql into the staging folder.
    void EscreverPacote(int numero, const QByteArray& conteudo) const;
    // Phase 1 with the window's fields as set up; fails the test when it raises.
    void ExecutarFase1();
    QString PastaBackup() const { return janela.PastaBackupExecucao(); }
};

}  // namespace orvalis::teste
