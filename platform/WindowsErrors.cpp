#include "platform/WindowsErrors.h"

#include "platform/Platform.h"

#include <cerrno>

namespace orvalis {

uint32_t WindowsErrorFromErrno(int error) {
    switch (error) {
        case 0:
            return winerror::kSuccess;
        case ENOENT:
            return winerror::kFileNotFound;
        case ENOTDIR:
        case ELOOP:
            return winerror::kPathNotFound;
        case EACCES:
        case EPERM:
        case EISDIR:
        case EROFS:
            return winerror::kAccessDenied;
        case EEXIST:
            return winerror::kFileExists;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return winerror::kDiskFull;
        case ENAMETOOLONG:
            return winerror::kFilenameTooLong;
        case ETXTBSY:
        case EBUSY:
            return winerror::kSharingViolation;
        case ENOTEMPTY:
            return winerror::kDirNotEmpty;
        case EXDEV:
            return winerror::kNotSameDevice;
        case ENOMEM:
            return winerror::kNotEnoughMemory;
        case EINVAL:
            return winerror::kInvalidParameter;
        case EIO:
            return winerror::kWriteFault;
        case ECANCELED:
            return winerror::kRequestAborted;
        default:
            return winerror::kAccessDenied;
    }
}

namespace {

struct ErrorText {
    uint32_t code;
    const char* text;
};

// The texts as FormatMessage gives them on Windows in Portuguese (Brazil).
constexpr ErrorText kTexts[] = {
    {0, "A operação foi concluída com êxito."},
    {1, "Função incorreta."},
    {2, "O sistema não pode encontrar o arquivo especificado."},
    {3, "O sistema não pode encontrar o caminho especificado."},
    {4, "O sistema não pode abrir o arquivo."},
    {5, "Acesso negado."},
    {6, "O identificador é inválido."},
    {8, "Não há armazenamento suficiente disponível para processar este comando."},
    {14, "Não há armazenamento suficiente disponível para concluir esta operação."},
    {15, "O sistema não pode encontrar a unidade especificada."},
    {16, "O diretório não pode ser removido."},
    {17, "O sistema não pode mover o arquivo para uma unidade de disco diferente."},
    {18, "Não há mais arquivos."},
    {19, "A mídia está protegida contra gravação."},
    {21, "O dispositivo não está pronto."},
    {29, "O sistema não pode gravar no dispositivo especificado."},
    {30, "O sistema não pode ler a partir do dispositivo especificado."},
    {32, "O processo não pode acessar o arquivo porque ele está sendo usado por outro processo."},
    {33,
     "O processo não pode acessar o arquivo porque outro processo bloqueou uma parte do "
     "arquivo."},
    {39, "O disco está cheio."},
    {50, "A solicitação não é suportada."},
    {53, "O caminho de rede não foi encontrado."},
    {67, "O nome da rede não foi encontrado."},
    {80, "O arquivo existe."},
    {82, "O diretório ou arquivo não pode ser criado."},
    {87, "O parâmetro está incorreto."},
    {112, "Espaço insuficiente no disco."},
    {123,
     "A sintaxe do nome do arquivo, do nome do diretório ou do rótulo do volume está "
     "incorreta."},
    {145, "O diretório não está vazio."},
    {183, "Não é possível criar um arquivo já existente."},
    {206, "O nome do arquivo ou a extensão é muito grande."},
    {267, "O nome do diretório é inválido."},
    {1235, "A solicitação foi anulada."},
};

}  // namespace

QString WindowsErrorText(uint32_t code) {
    for (const ErrorText& entry : kTexts) {
        if (entry.code == code) return QString::fromUtf8(entry.text);
    }
    return QString();
}

}  // namespace orvalis
