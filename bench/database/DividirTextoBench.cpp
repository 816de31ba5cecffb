// The statement splitter on a large package: throughput and linearity.
//
//   bench_dividir_texto [size-in-MiB]     default: 50
//
// Splits packages of a quarter, half and the whole size (the text of a package as the
// runner passes it: Windows-1252 characters with CR LF breaks, statements ended by
// ";;", line comments, block comments, strings with "--" inside, written "#$D#$A"
// breaks), best of five runs each. The exit status is 0 when both targets are met:
// at least 100 MiB/s on the whole size, and a time per MiB on the whole size within
// 1.5 times that on the quarter (linear in the size).

#include "database/DividirTexto.h"

#include <QString>
#include <QStringList>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kMiB = 1024.0 * 1024.0;
constexpr double kThroughputTarget = 100.0;
constexpr double kLinearityTarget = 1.5;

// A package of about `caracteres` characters, made of the statements a release carries.
QString Pacote(qsizetype caracteres) {
    QString texto;
    texto.reserve(caracteres + 512);
    for (int n = 1; texto.size() < caracteres; ++n) {
        const QString numero = QString::number(n);
        switch (n % 5) {
            case 0:
                texto += "-- ajuste do produto " + numero + "\r\n";
                texto += "UPDATE PRODUTO SET OBS = 'revisão -- " + numero +
                         "' /* não é -- comentário */\r\nWHERE ID = " + numero + ";;\r\n";
                break;
            case 1:
                texto += "CREATE OR ALTER PROCEDURE P" + numero +
                         " (X INTEGER) RETURNS (Y INTEGER)\r\nAS\r\nBEGIN\r\n  Y = :X * 2;\r\n"
                         "  SUSPEND;\r\nEND;;\r\n";
                break;
            case 2:
                texto += "INSERT INTO PRODUTO (ID, NOME) VALUES (" + numero + ", 'Produto " +
                         numero + "#$D#$Acontinuação');;\r\n";
                break;
            default:
                texto += "INSERT INTO PRODUTO (ID, NOME, OBS) VALUES (" + numero +
                         ", 'Pão de queijo " + numero + "', 'ação');;\r\n";
                break;
        }
    }
    return texto;
}

double MelhorSegundos(const QString& texto, qsizetype* pecas) {
    double melhor = 1e9;
    for (int rodada = 0; rodada < 5; ++rodada) {
        QStringList lista;
        const auto inicio = Clock::now();
        orvalis::DividirTexto(texto, lista);
        const std::chrono::duration<double> duracao = Clock::now() - inicio;
        melhor = std::min(melhor, duracao.count());
        *pecas = lista.size();
    }
    return melhor;
}

}  // namespace

int main(int argc, char** argv) {
    const double tamanho = argc > 1 ? std::atof(argv[1]) : 50.0;
    if (tamanho <= 0) {
        std::fprintf(stderr, "usage: bench_dividir_texto [size-in-MiB]\n");
        return 2;
    }
    double segundosPorMiB[3] = {};
    double vazao = 0;
    const double fracoes[3] = {0.25, 0.5, 1.0};
    for (int i = 0; i < 3; ++i) {
        const QString texto = Pacote(static_cast<qsizetype>(tamanho * fracoes[i] * kMiB));
        const double mib = static_cast<double>(texto.size()) / kMiB;
        qsizetype pecas = 0;
        const double segundos = MelhorSegundos(texto, &pecas);
        segundosPorMiB[i] = segundos / mib;
        vazao = mib / segundos;
        std::printf("%7.1f MiB  %9lld statements  %8.3f s  %8.1f MiB/s\n", mib,
                    static_cast<long long>(pecas), segundos, vazao);
    }
    const double linearidade = segundosPorMiB[2] / segundosPorMiB[0];
    std::printf("throughput on the whole size: %.1f MiB/s (target >= %.0f)\n", vazao,
                kThroughputTarget);
    std::printf("time per MiB, whole size / quarter: %.2f (target <= %.1f)\n", linearidade,
                kLinearityTarget);
    return vazao >= kThroughputTarget && linearidade <= kLinearityTarget ? 0 : 1;
}
