"""The vendor's FTP host for tests (pyftpdlib, plain FTP on 127.0.0.1).

Usage: servidor_ftp.py PASTA_DE_ESTADO   (see comum.py for the state folder)

configuracao.json, read at start:
  {
    "usuarios": {"nome": "senha", ...},
    "nomes": names in the release folder "Atualizacao/orvalis Empresa", listed by NLST
             in this order,
    "codigo_cwd": the reply code of a successful CWD (250 unless given),
    "intervalo": seconds between two names of a dripped listing (default 0.05),
    "modo": one of
      normal
      login_recusado  every login is refused (530)
      sem_pasta       the login folder holds "Atualizacao" without "orvalis Empresa"
      nlst_recusado   NLST is answered 550
      nlst_mudo       NLST is answered 150 and its data connection then stays silent
      nlst_sem_fim    NLST lists names without end, as fast as the client reads
      nlst_gotejado   NLST lists names without end, one short name per "intervalo"
      mudo            accepts connections and never answers, not even the greeting
      fora            the port refuses connections
  }

Every user's login folder is PASTA_DE_ESTADO/raiz. Record (registro.jsonl):
  {"evento": "conexao"}
  {"evento": "comando", "linha": the command line as received, "comando", "argumento"}
"""

import os
import sys
import threading
import time

from pyftpdlib.authorizers import AuthenticationFailed, DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

import comum

PASTA_VERSAO = "/Atualizacao/orvalis Empresa"


class AutorizadorRecusante(DummyAuthorizer):
    def validate_authentication(self, username, password, handler):
        raise AuthenticationFailed("Login incorrect.")


def montar_raiz(estado, cfg):
    raiz = os.path.join(estado.pasta, "raiz")
    versao = os.path.join(raiz, "Atualizacao")
    if cfg.get("modo") != "sem_pasta":
        versao = os.path.join(versao, "orvalis Empresa")
    os.makedirs(versao, exist_ok=True)
    for nome in cfg.get("nomes", []):
        if cfg.get("modo") != "sem_pasta":
            open(os.path.join(versao, nome), "wb").close()
    return raiz


def manipulador(estado, cfg):
    class Manipulador(FTPHandler):
        auth_failed_timeout = 0
        banner = "servidor de teste pronto."

        def on_connect(self):
            estado.registrar(evento="conexao")

        def pre_process_command(self, line, cmd, arg):
            estado.registrar(evento="comando", linha=line, comando=cmd, argumento=arg)
            return super().pre_process_command(line, cmd, arg)

        def ftp_CWD(self, path):
            inicial = os.getcwd()
            try:
                self.run_as_current_user(self.fs.chdir, path)
            except OSError as erro:
                self.respond("550 %s." % erro.strerror)
                return None
            finally:
                if os.getcwd() != inicial:
                    os.chdir(inicial)
            self.respond('%d "%s" is the current directory.' % (
                cfg.get("codigo_cwd", 250), self.fs.cwd))
            return path

        def ftp_NLST(self, path):
            if cfg.get("modo") == "nlst_recusado":
                self.respond("550 No files found.")
                return None
            if cfg.get("modo") == "nlst_mudo":
                self.respond("150 File status okay. About to open data connection.")
                return None
            if cfg.get("modo") in ("nlst_sem_fim", "nlst_gotejado"):
                self.push_dtp_data(ListagemSemFim(cfg), isproducer=True, cmd="NLST")
                return path
            if self.fs.cwd == PASTA_VERSAO and path == self.fs.ftp2fs(self.fs.cwd):
                nomes = list(cfg.get("nomes", []))
            else:
                try:
                    nomes = sorted(self.run_as_current_user(self.fs.listdir, path))
                except OSError as erro:
                    self.respond("550 %s." % erro.strerror)
                    return None
            dados = "".join(nome + "\r\n" for nome in nomes).encode("utf-8")
            self.push_dtp_data(dados, cmd="NLST")
            return path

    return Manipulador


class ListagemSemFim:
    """A producer of names that never runs out. Dripped, it sleeps between two names:
    the server's single loop stands still meanwhile, which only this one client uses."""

    def __init__(self, cfg):
        self.gotejado = cfg.get("modo") == "nlst_gotejado"
        self.intervalo = float(cfg.get("intervalo", 0.05))
        self.numero = 0

    def more(self):
        if self.gotejado:
            time.sleep(self.intervalo)
            self.numero += 1
            return b"n%d\r\n" % self.numero
        return b"".join(b"orvalis-%08d.txt\r\n" % (self.numero + i) for i in range(2048))


def mudo(estado):
    """Accepts and holds every connection without a byte in reply."""
    import socket

    escuta = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    escuta.bind(("127.0.0.1", 0))
    escuta.listen(16)
    presas = []

    def aceitar():
        while True:
            conexao, _ = escuta.accept()
            estado.registrar(evento="conexao")
            presas.append(conexao)

    threading.Thread(target=aceitar, daemon=True).start()
    return escuta


def main():
    estado = comum.estado_da_linha_de_comando()
    comum.terminar_com_sigterm()
    cfg = estado.configuracao()
    modo = cfg.get("modo", "normal")
    if modo in ("fora", "mudo"):
        escuta = comum.porta_recusada() if modo == "fora" else mudo(estado)
        estado.pronto({"ftp": escuta.getsockname()[1]})
        threading.Event().wait()
        return 0
    raiz = montar_raiz(estado, cfg)
    autorizador = AutorizadorRecusante() if modo == "login_recusado" else DummyAuthorizer()
    for usuario, senha in cfg.get("usuarios", {}).items():
        autorizador.add_user(usuario, senha, raiz, perm="elr")
    classe = manipulador(estado, cfg)
    classe.authorizer = autorizador
    servidor = FTPServer(("127.0.0.1", 0), classe)
    estado.pronto({"ftp": servidor.address[1]})
    servidor.serve_forever(handle_exit=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
