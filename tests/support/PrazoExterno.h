#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <thread>

namespace orvalis::teste {

// Runs `acao` and returns when it has ended. A generous outer deadline, not a
// measurement: a call that has not ended by `limite` would hold the test for ever, so
// the test process stops there with a message instead.
inline void TerminarDentroDe(std::chrono::seconds limite, const std::function<void()>& acao) {
    std::mutex trava;
    std::condition_variable fim;
    bool terminou = false;
    std::thread execucao([&] {
        acao();
        const std::lock_guard<std::mutex> guarda(trava);
        terminou = true;
        fim.notify_all();
    });
    std::unique_lock<std::mutex> espera(trava);
    if (!fim.wait_for(espera, limite, [&] { return terminou; })) {
        std::fprintf(stderr, "the call did not end within %lld s\n",
                     static_cast<long long>(limite.count()));
        std::abort();
    }
    espera.unlock();
    execucao.join();
}

}  // namespace orvalis::teste
