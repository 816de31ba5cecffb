"""What the local test servers share: the state folder, the record, the ready file.

A server is started with one argument, its state folder. It reads its configuration
from configuracao.json there (the web server reads it again for every connection, so
a test can change the fault modes of a running server), appends one JSON object per
event to registro.jsonl, and writes pronto.json, with the ports it listens on, once it
accepts connections. SIGTERM ends it.
"""

import json
import os
import signal
import socket
import sys
import threading
import time


class Estado:
    def __init__(self, pasta):
        self.pasta = pasta
        self._trava = threading.Lock()
        self._registro = open(os.path.join(pasta, "registro.jsonl"), "a", encoding="utf-8")

    def configuracao(self):
        caminho = os.path.join(self.pasta, "configuracao.json")
        try:
            with open(caminho, encoding="utf-8") as f:
                return json.load(f)
        except FileNotFoundError:
            return {}

    def registrar(self, **evento):
        linha = json.dumps(evento, ensure_ascii=False)
        with self._trava:
            self._registro.write(linha + "\n")
            self._registro.flush()

    def pronto(self, portas):
        # By rename, so that the launcher never reads half a file.
        temporario = os.path.join(self.pasta, "pronto.json.tmp")
        with open(temporario, "w", encoding="utf-8") as f:
            json.dump(portas, f)
        os.replace(temporario, os.path.join(self.pasta, "pronto.json"))


def estado_da_linha_de_comando():
    if len(sys.argv) != 2:
        sys.exit("uso: %s PASTA_DE_ESTADO" % os.path.basename(sys.argv[0]))
    return Estado(sys.argv[1])


def porta_recusada():
    """A port on 127.0.0.1 that refuses connections for as long as the socket lives:
    bound, so nobody else takes it, but never listening."""
    s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    s.bind(("127.0.0.1", 0))
    return s


def terminar_com_sigterm():
    def sair(_sinal, _quadro):
        raise SystemExit(0)

    signal.signal(signal.SIGTERM, sair)


def repassador_atrasado(porta_destino, atraso):
    """A listener on 127.0.0.1 that holds each connection for `atraso` seconds before it
    passes it on, both ways, to 127.0.0.1:porta_destino: whatever the client sends first
    (a TLS ClientHello) waits, so the server's side of the handshake starts late."""
    escuta = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    escuta.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    escuta.bind(("127.0.0.1", 0))
    escuta.listen(16)

    def copiar(de, para):
        try:
            while True:
                dados = de.recv(65536)
                if not dados:
                    break
                para.sendall(dados)
        except OSError:
            pass
        finally:
            for s in (de, para):
                try:
                    s.shutdown(socket.SHUT_RDWR)
                except OSError:
                    pass

    def atender(cliente):
        time.sleep(atraso)
        try:
            servidor = socket.create_connection(("127.0.0.1", porta_destino), timeout=30)
        except OSError:
            cliente.close()
            return
        servidor.settimeout(None)
        threading.Thread(target=copiar, args=(cliente, servidor), daemon=True).start()
        copiar(servidor, cliente)

    def aceitar():
        while True:
            try:
                cliente, _ = escuta.accept()
            except OSError:
                return
            threading.Thread(target=atender, args=(cliente,), daemon=True).start()

    threading.Thread(target=aceitar, daemon=True).start()
    return escuta
