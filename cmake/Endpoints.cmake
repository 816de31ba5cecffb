# The vendor's endpoints, fixed at build time. The defaults lie under the reserved
# orvalis.example domain; ORVALIS_FORNECEDOR can replace them at run time.
set(ORVALIS_URL_NOTAS "http://novidades.orvalis.example" CACHE STRING "Release-notes site (plain http)")
set(ORVALIS_URL_ARQUIVOS "https://arquivos.orvalis.example" CACHE STRING "Files host (https)")
set(ORVALIS_URL_SITE "https://www.orvalis.example" CACHE STRING "Main site (https)")
set(ORVALIS_URL_SITE_HTTP "http://www.orvalis.example" CACHE STRING "Main site (http)")
set(ORVALIS_FTP_HOST "ftp.orvalis.example" CACHE STRING "FTP host")
set(ORVALIS_FTP_PORTA "21" CACHE STRING "FTP port")
set(ORVALIS_FTP_USUARIO_ARQUIVOS "atualizacao@arquivos.orvalis.example" CACHE STRING "Release account, files-host form")
set(ORVALIS_FTP_USUARIO_SITE "atualizacao@orvalis.example" CACHE STRING "Release account, main-domain form")
set(ORVALIS_EMAIL_HOST "mail.orvalis.example" CACHE STRING "Mail host")
set(ORVALIS_SMTP_PORTA "465" CACHE STRING "SMTP port (implicit TLS)")
set(ORVALIS_POP3_PORTA "110" CACHE STRING "POP3 port")
set(ORVALIS_EMAIL_CONTA "atualizador@orvalis.example" CACHE STRING "The updater's mailbox")
set(ORVALIS_EMAIL_SUPORTE "suporte@orvalis.example" CACHE STRING "The support mailbox")
# The vendor's Ed25519 public key, the standard base64 of its 32 raw bytes (what
# `orvalisPublicar gerar-chave` prints). With a key the updater installs only what the
# release's signed manifest lists; without one it checks nothing.
set(ORVALIS_CHAVE_PUBLICA "" CACHE STRING "Vendor's Ed25519 public key for signed releases (base64 of 32 bytes)")
string(LENGTH "${ORVALIS_CHAVE_PUBLICA}" orvalis_tamanho_chave)
if(ORVALIS_CHAVE_PUBLICA STREQUAL "")
    message(WARNING "ORVALIS_CHAVE_PUBLICA está vazia: o atualizador não vai conferir a "
        "assinatura das liberações que instala. Gere a chave com `orvalisPublicar gerar-chave` "
        "e configure com -DORVALIS_CHAVE_PUBLICA=<chave pública>.")
elseif(NOT orvalis_tamanho_chave EQUAL 44
       OR NOT ORVALIS_CHAVE_PUBLICA MATCHES "^[A-Za-z0-9+/]+[AEIMQUYcgkosw048]=$")
    # 32 bytes are 43 characters of the alphabet, the last carrying 4 bits and two zero
    # bits, and one "=".
    message(FATAL_ERROR "ORVALIS_CHAVE_PUBLICA não é uma chave pública Ed25519 (44 caracteres "
        "de base64 dos 32 bytes da chave, como `orvalisPublicar gerar-chave` a mostra).")
endif()
configure_file(${CMAKE_SOURCE_DIR}/net/EndpointsConfig.h.in ${CMAKE_BINARY_DIR}/generated/net/EndpointsConfig.h @ONLY)
