"""Throwaway certificates for the local HTTPS server.

Writes into a folder:
  ca.pem                      the trusted test CA (tests point SSL_CERT_FILE at it)
  <nome>.pem / <nome>.key     a certificate for each host name, signed by that CA
  estranha-<nome>.pem / .key  the same name signed by a CA nobody trusts
  expirado-<nome>.pem / .key  the same name, signed by the trusted CA, expired
  outro.pem / outro.key       a trusted certificate for a name no test connects to

Run as a program: certificados.py PASTA NOME...  (does nothing when ca.pem exists).
"""

import datetime
import os
import sys

from cryptography import x509
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import ec
from cryptography.x509.oid import NameOID

NOME_OUTRO = "outro.orvalis.test"


def _chave():
    return ec.generate_private_key(ec.SECP256R1())


def _nome(texto):
    return x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, texto)])


def _gravar(pasta, base, certificado, chave):
    with open(os.path.join(pasta, base + ".pem"), "wb") as f:
        f.write(certificado.public_bytes(serialization.Encoding.PEM))
    with open(os.path.join(pasta, base + ".key"), "wb") as f:
        f.write(chave.private_bytes(serialization.Encoding.PEM,
                                    serialization.PrivateFormat.PKCS8,
                                    serialization.NoEncryption()))


def _autoridade(titulo, agora):
    chave = _chave()
    certificado = (
        x509.CertificateBuilder()
        .subject_name(_nome(titulo))
        .issuer_name(_nome(titulo))
        .public_key(chave.public_key())
        .serial_number(x509.random_serial_number())
        .not_valid_before(agora - datetime.timedelta(days=1))
        .not_valid_after(agora + datetime.timedelta(days=30))
        .add_extension(x509.BasicConstraints(ca=True, path_length=0), critical=True)
        .add_extension(x509.KeyUsage(digital_signature=True, key_cert_sign=True, crl_sign=True,
                                     content_commitment=False, key_encipherment=False,
                                     data_encipherment=False, key_agreement=False,
                                     encipher_only=False, decipher_only=False), critical=True)
        .sign(chave, hashes.SHA256())
    )
    return certificado, chave


def _folha(nome, autoridade, chave_autoridade, inicio, fim):
    chave = _chave()
    certificado = (
        x509.CertificateBuilder()
        .subject_name(_nome(nome))
        .issuer_name(autoridade.subject)
        .public_key(chave.public_key())
        .serial_number(x509.random_serial_number())
        .not_valid_before(inicio)
        .not_valid_after(fim)
        .add_extension(x509.SubjectAlternativeName([x509.DNSName(nome)]), critical=False)
        .add_extension(x509.BasicConstraints(ca=False, path_length=None), critical=True)
        .add_extension(x509.ExtendedKeyUsage([x509.oid.ExtendedKeyUsageOID.SERVER_AUTH]),
                       critical=False)
        .sign(chave_autoridade, hashes.SHA256())
    )
    return certificado, chave


def gerar(pasta, nomes):
    os.makedirs(pasta, exist_ok=True)
    if os.path.exists(os.path.join(pasta, "ca.pem")):
        return
    agora = datetime.datetime.now(datetime.timezone.utc)
    ca, chave_ca = _autoridade("orvalis teste CA", agora)
    estranha, chave_estranha = _autoridade("CA desconhecida", agora)
    valido = (agora - datetime.timedelta(days=1), agora + datetime.timedelta(days=30))
    vencido = (agora - datetime.timedelta(days=30), agora - datetime.timedelta(days=2))
    for nome in nomes:
        _gravar(pasta, nome, *_folha(nome, ca, chave_ca, *valido))
        _gravar(pasta, "estranha-" + nome, *_folha(nome, estranha, chave_estranha, *valido))
        _gravar(pasta, "expirado-" + nome, *_folha(nome, ca, chave_ca, *vencido))
    _gravar(pasta, "outro", *_folha(NOME_OUTRO, ca, chave_ca, *valido))
    # Written last and by rename: its presence means the whole set is there.
    temporario = os.path.join(pasta, "ca.pem.tmp")
    with open(temporario, "wb") as f:
        f.write(ca.public_bytes(serialization.Encoding.PEM))
    os.replace(temporario, os.path.join(pasta, "ca.pem"))


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit("uso: certificados.py PASTA NOME...")
    gerar(sys.argv[1], sys.argv[2:])
