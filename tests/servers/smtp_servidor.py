"""The vendor's mail host for tests, SMTP side: TLS from the first byte (implicit TLS)
and AUTH LOGIN, on 127.0.0.1, built on Debian's aiosmtpd.

Usage: smtp_servidor.py PASTA_DE_ESTADO   (see comum.py for the state folder)

configuracao.json (read again for every connection; "fora", "sem_resposta",
"nao_confiavel" and the certificates only at start):
  {
    "certificados": folder made by certificados.py, with a certificate for "nome",
    "nome": the server's host name (default mail.orvalis.test),
    "usuario", "senha": the only account that AUTH accepts,
    "modos": a list of fault modes,
    "recusados": addresses that RCPT TO refuses with 550,
    "atraso": seconds each connection waits before its TLS handshake (a late handshake;
              at start only),
    "intervalo": seconds between two bytes of a dripped greeting (default 0.05)
  }

Fault modes:
  fora           the port refuses connections
  nao_confiavel  the right name, signed by a CA the client does not trust
  outro_nome     a trusted certificate for another name
  sem_resposta   the port accepts TCP connections and never answers (no TLS handshake)
  mudo           completes the TLS handshake and never greets
  cair_apos_ehlo drops the connection right after its EHLO reply
  recusar_ehlo   EHLO is answered 502 (HELO still works)
  recusar_helo   HELO is answered 502
  sem_login      the EHLO reply offers AUTH PLAIN only
  sem_auth       the EHLO reply offers no AUTH at all
  recusar_auth   AUTH takes the user name and password, then answers 535
  recusar_dados  the message is answered 554 after its closing "."
  gotejado       the greeting goes out one byte per "intervalo" and never ends
  saudacao_sem_fim  the greeting is one line without end, as fast as the client reads
  ehlo_sem_fim   the EHLO reply is "250-" lines without end

Listener: "smtp" in pronto.json.

Record (registro.jsonl), one object per event, each with "servidor": "smtp" and
"instante" (time.monotonic_ns(), the clock that pop3_servidor.py stamps too, so the
two records can be merged into one dialogue):
  {"evento": "conexao"}
  {"evento": "tls", "sni"}                     handshake done
  {"evento": "cliente", "linha"}               a line from the client outside DATA,
                                               without its CR LF (latin-1)
  {"evento": "servidor", "linha"}              a reply line
  {"evento": "autenticacao", "mecanismo", "usuario", "senha", "aceita"}
  {"evento": "mensagem", "remetente", "destinatarios", "bruto" (the message as
   received, dot-stuffing undone, latin-1), "cabecalhos" ([[name, raw value]...] in
   order), "assunto" (decoded), "de", "para" (decoded), "tipo", "charset",
   "codificacao", "corpo" (the decoded text of the body)}
"""

import asyncio
import email
import email.policy
import logging
import os
import signal
import ssl
import sys
import time

from aiosmtpd.smtp import SMTP, AuthResult

import comum

NOME_PADRAO = "mail.orvalis.test"

# aiosmtpd logs a warning about its own use of a deprecated session field on every login.
logging.getLogger("mail.log").setLevel(logging.ERROR)


def agora():
    return time.monotonic_ns()


class Leitor:
    """The connection's reader, recording each line the client sends outside DATA."""

    def __init__(self, leitor, protocolo):
        self._leitor = leitor
        self._protocolo = protocolo

    def _anotar(self, linha):
        if not self._protocolo.em_dados:
            self._protocolo.registrar(evento="cliente",
                                      linha=linha.rstrip(b"\r\n").decode("latin-1"))
        return linha

    async def readuntil(self, separador=b"\n"):
        return self._anotar(await self._leitor.readuntil(separador))

    async def readline(self):
        return self._anotar(await self._leitor.readline())

    def __getattr__(self, nome):
        return getattr(self._leitor, nome)


class Protocolo(SMTP):
    def __init__(self, servidor, cfg, **parametros):
        self.servidor = servidor
        self.cfg = cfg
        self.em_dados = False
        super().__init__(servidor, **parametros)

    def registrar(self, **evento):
        self.servidor.estado.registrar(servidor="smtp", instante=agora(), **evento)

    def connection_made(self, transport):
        objeto = transport.get_extra_info("ssl_object")
        self.registrar(evento="tls", sni=getattr(objeto, "sni_recebido", None))
        super().connection_made(transport)

    def _client_connected_cb(self, reader, writer):
        super()._client_connected_cb(Leitor(reader, self), writer)

    async def push(self, status):
        texto = status if isinstance(status, str) else status.decode("latin-1")
        self.registrar(evento="servidor", linha=texto)
        await super().push(status)

    async def smtp_EHLO(self, arg):
        if "ehlo_sem_fim" in self.servidor.modos(self.cfg):
            numero = 0
            while True:
                numero += 1
                await super().push("250-EXTENSAO%d" % numero)
        await super().smtp_EHLO(arg)
        if "cair_apos_ehlo" in self.servidor.modos(self.cfg):
            self.transport.abort()

    async def smtp_DATA(self, arg):
        self.em_dados = True
        try:
            await super().smtp_DATA(arg)
        finally:
            self.em_dados = False


class SaudacaoSemFim(asyncio.Protocol):
    """A greeting that never ends: "220 " and then bytes without a line break, a byte
    per interval when dripped, else as fast as the client reads."""

    def __init__(self, gotejada, intervalo):
        self.gotejada = gotejada
        self.intervalo = intervalo
        self.livre = asyncio.Event()
        self.livre.set()
        self.tarefa = None

    def connection_made(self, transport):
        self.transport = transport
        self.tarefa = asyncio.get_running_loop().create_task(self.escrever())

    def pause_writing(self):
        self.livre.clear()

    def resume_writing(self):
        self.livre.set()

    def connection_lost(self, _erro):
        if self.tarefa is not None:
            self.tarefa.cancel()

    async def escrever(self):
        self.transport.write(b"220 ")
        while not self.transport.is_closing():
            await self.livre.wait()
            if self.gotejada:
                self.transport.write(b"x")
                await asyncio.sleep(self.intervalo)
            else:
                self.transport.write(b"x" * 16384)
                await asyncio.sleep(0)


class Servidor:
    """The handler of every connection: hooks and authenticator of aiosmtpd."""

    def __init__(self, estado):
        self.estado = estado
        self.contextos = {}

    def modos(self, cfg):
        return set(cfg.get("modos", []))

    def contexto(self, cfg):
        nome = cfg.get("nome", NOME_PADRAO)
        base = ("estranha-" + nome) if "nao_confiavel" in self.modos(cfg) else nome
        if "outro_nome" in self.modos(cfg):
            base = "outro"
        if base not in self.contextos:
            pasta = cfg["certificados"]
            ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            ctx.load_cert_chain(os.path.join(pasta, base + ".pem"),
                                os.path.join(pasta, base + ".key"))

            def anotar_sni(objeto, sni, _ctx):
                objeto.sni_recebido = sni

            ctx.sni_callback = anotar_sni
            self.contextos[base] = ctx
        return self.contextos[base]

    def novo_protocolo(self, cfg):
        self.estado.registrar(servidor="smtp", instante=agora(), evento="conexao")
        modos = self.modos(cfg)
        if "mudo" in modos:
            return asyncio.Protocol()
        if "gotejado" in modos or "saudacao_sem_fim" in modos:
            return SaudacaoSemFim(gotejada="gotejado" in modos,
                                  intervalo=float(cfg.get("intervalo", 0.05)))
        excluidos = ["LOGIN"] if "sem_login" in modos else []
        # The connection is TLS from its first byte, which aiosmtpd cannot see: without
        # auth_require_tls=False it would never offer AUTH.
        return Protocolo(self, cfg, hostname=cfg.get("nome", NOME_PADRAO),
                         auth_require_tls=False, auth_exclude_mechanism=excluidos,
                         authenticator=self.autenticar, timeout=120,
                         loop=asyncio.get_running_loop())

    # --- hooks ---

    async def handle_EHLO(self, servidor, sessao, _envelope, nome, respostas):
        modos = self.modos(servidor.cfg)
        if "recusar_ehlo" in modos:
            return ["502 5.5.2 EHLO recusado"]
        sessao.host_name = nome
        if "sem_auth" in modos:
            respostas = [r for r in respostas if not r[4:].upper().startswith("AUTH")]
        return respostas

    async def handle_HELO(self, servidor, sessao, _envelope, nome):
        if "recusar_helo" in self.modos(servidor.cfg):
            return "502 5.5.2 HELO recusado"
        sessao.host_name = nome
        return "250 " + servidor.hostname

    async def handle_RCPT(self, servidor, _sessao, envelope, endereco, opcoes):
        if endereco in servidor.cfg.get("recusados", []):
            return "550 5.1.1 Destinatario recusado"
        envelope.rcpt_tos.append(endereco)
        envelope.rcpt_options.extend(opcoes)
        return "250 OK"

    async def handle_DATA(self, servidor, _sessao, envelope):
        if "recusar_dados" in self.modos(servidor.cfg):
            return "554 5.6.0 Mensagem recusada"
        bruto = envelope.original_content
        mensagem = email.message_from_bytes(bruto, policy=email.policy.default)
        compat = email.message_from_bytes(bruto, policy=email.policy.compat32)
        corpo = mensagem.get_content() if not mensagem.is_multipart() else None
        servidor.registrar(
            evento="mensagem",
            remetente=envelope.mail_from,
            destinatarios=list(envelope.rcpt_tos),
            bruto=bruto.decode("latin-1"),
            cabecalhos=[[nome, valor] for nome, valor in compat.items()],
            assunto=str(mensagem.get("Subject", "")),
            de=str(mensagem.get("From", "")),
            para=str(mensagem.get("To", "")),
            tipo=mensagem.get_content_type(),
            charset=mensagem.get_content_charset(),
            codificacao=str(mensagem.get("Content-Transfer-Encoding", "")),
            corpo=corpo)
        return "250 2.0.0 Mensagem aceita"

    def autenticar(self, servidor, _sessao, _envelope, mecanismo, dados):
        usuario = dados.login.decode("utf-8", "replace")
        senha = dados.password.decode("utf-8", "replace")
        aceita = ("recusar_auth" not in self.modos(servidor.cfg)
                  and usuario == servidor.cfg.get("usuario")
                  and senha == servidor.cfg.get("senha"))
        servidor.registrar(evento="autenticacao", mecanismo=mecanismo, usuario=usuario,
                           senha=senha, aceita=aceita)
        # handled=False: aiosmtpd then answers a refusal with 535 itself.
        return AuthResult(success=aceita, handled=False)


async def servir(estado):
    parar = asyncio.Event()
    # SIGTERM ends the loop cleanly, rather than raising inside whichever task runs.
    asyncio.get_running_loop().add_signal_handler(signal.SIGTERM, parar.set)
    servidor = Servidor(estado)
    cfg = estado.configuracao()
    if "fora" in servidor.modos(cfg) or "sem_resposta" in servidor.modos(cfg):
        parada = comum.porta_recusada()
        if "sem_resposta" in servidor.modos(cfg):
            # The kernel completes the TCP handshake of a listening socket by itself;
            # nobody ever accepts the connection.
            parada.listen(16)
        estado.pronto({"smtp": parada.getsockname()[1]})
        await parar.wait()
        return
    escuta = await asyncio.get_running_loop().create_server(
        lambda: servidor.novo_protocolo(estado.configuracao()), "127.0.0.1", 0,
        ssl=servidor.contexto(cfg), reuse_address=True)
    porta = escuta.sockets[0].getsockname()[1]
    if float(cfg.get("atraso", 0)) > 0:
        porta = comum.repassador_atrasado(porta, float(cfg["atraso"])).getsockname()[1]
    estado.pronto({"smtp": porta})
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
