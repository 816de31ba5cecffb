"""The vendor's mail host for tests, POP3 side: plain text on 127.0.0.1, "USER" and
"PASS" against one account, an empty mailbox.

Usage: pop3_servidor.py PASTA_DE_ESTADO   (see comum.py for the state folder)

configuracao.json (read again for every connection, "fora" only at start):
  {
    "usuario", "senha": the only account that the login accepts,
    "modos": a list of fault modes,
    "intervalo": seconds between two bytes of a dripped greeting (default 0.05)
  }

Fault modes:
  fora            the port refuses connections
  recusar_login   "PASS" is answered "-ERR" whatever the password
  recusar_saudacao the greeting is "-ERR", and the connection closes
  mudo            accepts the connection and never greets
  gotejado        the greeting goes out one byte per "intervalo" and never ends
  saudacao_sem_fim the greeting is one line without end, as fast as the client reads

Listener: "pop3" in pronto.json.

Record (registro.jsonl), one object per event, each with "servidor": "pop3" and
"instante" (time.monotonic_ns(), the clock that smtp_servidor.py stamps too):
  {"evento": "conexao"}
  {"evento": "cliente", "linha"}     a line from the client, without its CR LF (latin-1)
  {"evento": "servidor", "linha"}    a reply line
  {"evento": "login", "usuario", "senha", "aceito"}
"""

import asyncio
import signal
import sys
import time

import comum

RECUSA_LOGIN = "-ERR [AUTH] Usuario ou senha invalidos"


class Sessao:
    def __init__(self, estado, leitor, escritor):
        self.estado = estado
        self.cfg = estado.configuracao()
        self.leitor = leitor
        self.escritor = escritor
        self.usuario = None

    def registrar(self, **evento):
        self.estado.registrar(servidor="pop3", instante=time.monotonic_ns(), **evento)

    async def responder(self, linha):
        self.registrar(evento="servidor", linha=linha)
        self.escritor.write(linha.encode("latin-1") + b"\r\n")
        await self.escritor.drain()

    async def atender(self):
        self.registrar(evento="conexao")
        modos = set(self.cfg.get("modos", []))
        if "mudo" in modos:
            await asyncio.Event().wait()
        if "gotejado" in modos or "saudacao_sem_fim" in modos:
            self.escritor.write(b"+OK ")
            while not self.escritor.transport.is_closing():
                if "gotejado" in modos:
                    self.escritor.write(b"x")
                    await asyncio.sleep(float(self.cfg.get("intervalo", 0.05)))
                else:
                    self.escritor.write(b"x" * 16384)
                await self.escritor.drain()
            return
        if "recusar_saudacao" in modos:
            await self.responder("-ERR Servico indisponivel")
            return
        await self.responder("+OK POP3 de teste pronto")
        while True:
            bruto = await self.leitor.readline()
            if not bruto:
                return
            linha = bruto.rstrip(b"\r\n").decode("latin-1")
            self.registrar(evento="cliente", linha=linha)
            comando, _, argumento = linha.partition(" ")
            comando = comando.upper()
            if comando == "QUIT":
                await self.responder("+OK Ate logo")
                return
            if comando == "USER":
                self.usuario = argumento
                await self.responder("+OK Usuario recebido")
            elif comando == "PASS":
                if self.usuario is None:
                    await self.responder("-ERR USER primeiro")
                    continue
                aceito = ("recusar_login" not in modos
                          and self.usuario == self.cfg.get("usuario")
                          and argumento == self.cfg.get("senha"))
                self.registrar(evento="login", usuario=self.usuario, senha=argumento,
                               aceito=aceito)
                await self.responder("+OK Caixa aberta" if aceito else RECUSA_LOGIN)
            elif comando == "CAPA":
                await self.responder("+OK Capacidades")
                await self.responder("USER")
                await self.responder(".")
            elif comando == "STAT":
                await self.responder("+OK 0 0")
            elif comando == "NOOP":
                await self.responder("+OK")
            else:
                await self.responder("-ERR Comando desconhecido")


async def servir(estado):
    parar = asyncio.Event()
    # SIGTERM ends the loop cleanly, rather than raising inside whichever task runs.
    asyncio.get_running_loop().add_signal_handler(signal.SIGTERM, parar.set)
    if "fora" in estado.configuracao().get("modos", []):
        recusada = comum.porta_recusada()
        estado.pronto({"pop3": recusada.getsockname()[1]})
        await parar.wait()
        return

    async def conexao(leitor, escritor):
        try:
            await Sessao(estado, leitor, escritor).atender()
        except (OSError, asyncio.IncompleteReadError):
            pass
        finally:
            escritor.close()

    escuta = await asyncio.start_server(conexao, "127.0.0.1", 0, reuse_address=True)
    estado.pronto({"pop3": escuta.sockets[0].getsockname()[1]})
    await parar.wait()
    escuta.close()


def main():
    estado = comum.estado_da_linha_de_comando()
    try:
        asyncio.run(servir(estado))
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    sys.exit(main())
