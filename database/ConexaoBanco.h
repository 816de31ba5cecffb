#pragma once

#include <QString>

#include <vector>

namespace Firebird {
class IAttachment;
}

namespace orvalis {

class Platform;
class TransacaoBanco;

// IBDatabase1: the program's one connection to the ERP database. It attaches by path
// with user SYSDBA and password "rivertown", never asks for a login, uses SQL dialect
// 3 and passes no character set, so that text travels as the Windows-1252 bytes the
// program writes and reads.
//
// The database text is "host:path" for a server (the prefix is kept) or a bare path
// for the embedded engine; either way the path part is a Windows path, translated
// through the platform. Every failure raises ErroOrvalis with the server's message.
//
// The connection does not own its transaction, query or statement executor: they
// register themselves at construction and must be destroyed before it. Not copyable.
class ConexaoBanco {
  public:
    // An object that holds server resources of this connection (a prepared statement,
    // an open cursor) and must let them go before the connection ends.
    class Dependente {
      public:
        virtual void LiberarRecursos() noexcept = 0;

      protected:
        ~Dependente() = default;
    };

    explicit ConexaoBanco(Platform& plataforma);
    // Disconnects; an error of that is lost.
    ~ConexaoBanco();

    ConexaoBanco(const ConexaoBanco&) = delete;
    ConexaoBanco& operator=(const ConexaoBanco&) = delete;

    // DatabaseName. Raises ErroOrvalis while connected (the name cannot change under
    // an open connection).
    void DefinirBanco(const QString& banco);
    const QString& Banco() const { return banco_; }

    // Attaches to Banco(). Nothing happens when already connected. On failure the
    // connection stays closed and ErroOrvalis carries the server's message.
    void Conectar();
    // Releases the dependents' server resources, commits the transaction if it is
    // active, and detaches. Nothing happens when not connected. When the commit or the
    // detach fails the connection is closed all the same (the transaction's work is
    // then rolled back by the server) and the error is raised afterwards.
    void Desconectar();
    // Closes the connection without keeping anything: the transaction's work since its
    // last commit is rolled back and the attachment detached. Never fails; the
    // connection is closed afterwards in every case (an attachment that the server has
    // already lost is let go all the same). For the way to a restore, where the
    // database is about to be replaced and its pending work must not reach the disk.
    void Descartar() noexcept;
    bool Conectado() const { return anexo_ != nullptr; }

    // The native connection text for `banco`: server prefix kept, path part translated
    // by the platform. Raises ErroOrvalis when the platform cannot translate the path.
    QString TextoConexao(const QString& banco) const;

    // --- for the connection's own objects ---
    // The attachment; raises ErroOrvalis when not connected.
    Firebird::IAttachment* Anexo() const;
    void DefinirTransacao(TransacaoBanco* transacao) { transacao_ = transacao; }
    void Registrar(Dependente* dependente);
    void Remover(Dependente* dependente);

  private:
    Platform& plataforma_;
    QString banco_;
    Firebird::IAttachment* anexo_ = nullptr;
    TransacaoBanco* transacao_ = nullptr;
    std::vector<Dependente*> dependentes_;
};

}  // namespace orvalis
