#pragma once

#include "tests/support/PlataformaTeste.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <string>

namespace orvalis::teste {

// A server installation and a workstation in a temporary folder, with the drives
// mapped: C: holds "C:\orvalis Empresa" (master folder Atualizador, Dados) and D: the
// workstation folder "D:\orvalis Estacao". Its platform reports the updater as running
// from the master folder. Everything is removed when the object goes.
class InstalacaoTemporaria {
  public:
    static inline const QString kRaizServidor = QStringLiteral("C:\\orvalis Empresa");
    static inline const QString kPastaMestre = QStringLiteral("C:\\orvalis Empresa\\Atualizador");
    static inline const QString kPastaDados = QStringLiteral("C:\\orvalis Empresa\\Dados");
    static inline const QString kPastaBackup = QStringLiteral("C:\\orvalis Empresa\\Backup");
    static inline const QString kPastaEstacao = QStringLiteral("D:\\orvalis Estacao");
    // The arguments with which the ERP of this installation, at release 2.7, starts a
    // server update.
    static inline const QStringList kArgumentosServidor = {
        QStringLiteral("@F2"),
        QStringLiteral("@MC:\\orvalis§Empresa\\Atualizador"),
        QStringLiteral("@BC:\\orvalis§Empresa\\Dados\\Rivelobase.fdb"),
        QStringLiteral("@ED:\\orvalis§Estacao"),
        QStringLiteral("@AorvalisEmpresa.exe"),
        QStringLiteral("@V2.7"),
        QStringLiteral("@I1")};

    InstalacaoTemporaria();
    ~InstalacaoTemporaria();

    PlataformaTeste& plataforma() { return *plataforma_; }
    // The drive mapping, in ORVALIS_UNIDADES syntax.
    QString unidades() const;
    // The native path of a Windows path on C: or D:, taken as written (no letter-case
    // resolution): what a test checks the program against.
    QString Nativo(const QString& caminhoWindows) const;

    // The native path of an existing file as the program finds it: every component
    // without regard to letter case.
    std::string Encontrado(const QString& caminhoWindows);

    void CriarPasta(const QString& caminhoWindows) const;
    void Escrever(const QString& caminhoWindows, const QByteArray& conteudo) const;
    QByteArray Ler(const QString& caminhoWindows) const;
    bool Existe(const QString& caminhoWindows) const;
    void Apagar(const QString& caminhoWindows) const;
    // The names in a folder, sorted; empty when it does not exist.
    QStringList Listar(const QString& caminhoWindows) const;
    // Makes `destino` a copy of this installation, drives and all, as it is now.
    void CopiarPara(InstalacaoTemporaria& destino) const;

  private:
    QTemporaryDir raiz_;
    std::unique_ptr<PlataformaTeste> plataforma_;
};

}  // namespace orvalis::teste
