#include "run_interrupt.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>

namespace runtrail {
namespace {

std::atomic<int> g_signal{0};
static_assert(std::atomic<int>::is_always_lock_free, "the handler may only touch a lock-free atomic");

extern "C" void on_interrupt(int signal_number) {
    int none = 0;
    if (!g_signal.compare_exchange_strong(none, signal_number)) _exit(k_exit_by_signal + signal_number);
}

}  // namespace

void catch_interrupts() {
    struct sigaction action {};
    action.sa_handler = on_interrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int interrupting_signal() { return g_signal.load(); }

}  // namespace runtrail
