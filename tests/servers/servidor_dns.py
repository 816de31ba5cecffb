"""A name server for tests: UDP port 53 on an address of the loopback network, the
only name server of a resolv.conf that a test mounts in its own mount namespace.

Usage: servidor_dns.py PASTA_DE_ESTADO   (see comum.py for the state folder)

configuracao.json, read at start:
  {
    "endereco": the loopback address to listen on (e.g. "127.53.0.7"; port 53),
    "modo": one of
      mudo       reads every query and never answers
      nxdomain   answers every query: no such name
  }

Listener: "dns" in pronto.json, with the address as "endereco".

Record (registro.jsonl):
  {"evento": "consulta", "nome": the name asked for}
"""

import socket
import struct
import sys
import threading

import comum


def nome_da_consulta(pacote):
    partes = []
    posicao = 12
    while posicao < len(pacote):
        tamanho = pacote[posicao]
        if tamanho == 0:
            return ".".join(partes), posicao + 5  # the zero byte, type and class
        partes.append(pacote[posicao + 1:posicao + 1 + tamanho].decode("ascii", "replace"))
        posicao += 1 + tamanho
    return ".".join(partes), len(pacote)


def sem_nome(pacote, fim_da_pergunta):
    identificador, flags = struct.unpack("!HH", pacote[:4])
    # A response (QR), the same opcode and RD, recursion available, rcode 3 (NXDOMAIN).
    resposta = 0x8000 | (flags & 0x7900) | 0x0080 | 3
    return (struct.pack("!HHHHHH", identificador, resposta, 1, 0, 0, 0) +
            pacote[12:fim_da_pergunta])


def main():
    estado = comum.estado_da_linha_de_comando()
    comum.terminar_com_sigterm()
    cfg = estado.configuracao()
    endereco = cfg["endereco"]
    escuta = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    escuta.bind((endereco, 53))
    estado.pronto({"dns": 53, "endereco": endereco})

    def atender():
        while True:
            pacote, cliente = escuta.recvfrom(4096)
            if len(pacote) < 12:
                continue
            nome, fim = nome_da_consulta(pacote)
            estado.registrar(evento="consulta", nome=nome)
            if cfg.get("modo") == "nxdomain":
                escuta.sendto(sem_nome(pacote, fim), cliente)

    threading.Thread(target=atender, daemon=True).start()
    try:
        threading.Event().wait()
    except SystemExit:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
