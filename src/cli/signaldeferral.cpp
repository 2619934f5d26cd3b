#include "signaldeferral.h"

#include <csignal>
#include <cstdio>

#include <pthread.h>
#include <signal.h>

namespace {

constexpr int DeferredSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGPIPE, SIGTERM};
constexpr int DeferredCount = int(sizeof DeferredSignals / sizeof DeferredSignals[0]);
volatile std::sig_atomic_t deferredSignal = 0;

void deferSignal(int number)
{
    deferredSignal = number;
}

std::function<void()>& lastWords()
{
    static std::function<void()> say;
    return say;
}

} // namespace

struct SignalDeferral::Saved
{
    struct sigaction previous[DeferredCount];
    sigset_t previousMask;

    // Whether a signal came that ends the process once the session is over: caught elsewhere, or
    // pending here, and not ignored or handled by the caller.
    bool ending() const
    {
        sigset_t pending;
        sigpending(&pending);
        for (int i = 0; i < DeferredCount; ++i)
            if ((deferredSignal == DeferredSignals[i] ||
                 sigismember(&pending, DeferredSignals[i])) &&
                previous[i].sa_handler == SIG_DFL)
                return true;
        return false;
    }
};

void SignalDeferral::setLastWords(std::function<void()> say)
{
    lastWords() = std::move(say);
}

SignalDeferral::SignalDeferral() : m_saved(std::make_unique<Saved>())
{
    struct sigaction defer = {};
    defer.sa_handler = deferSignal;
    defer.sa_flags = SA_RESTART;
    sigemptyset(&defer.sa_mask);
    for (int i = 0; i < DeferredCount; ++i) {
        sigaddset(&defer.sa_mask, DeferredSignals[i]);
        ::sigaction(DeferredSignals[i], nullptr, &m_saved->previous[i]);
        // A signal the caller ignores (nohup) stays ignored.
        if (m_saved->previous[i].sa_handler != SIG_IGN)
            ::sigaction(DeferredSignals[i], &defer, nullptr);
    }
    pthread_sigmask(SIG_BLOCK, &defer.sa_mask, &m_saved->previousMask);
}

SignalDeferral::~SignalDeferral()
{
    // A signal that came meanwhile takes its course now, the printer given back: one pending
    // for this thread as the mask lifts, one another thread caught as it is raised again. What
    // the command said of its work must not die with it in a buffer.
    if (m_saved->ending()) {
        if (lastWords())
            lastWords()();
        std::fflush(stdout);
    }
    for (int i = 0; i < DeferredCount; ++i)
        ::sigaction(DeferredSignals[i], &m_saved->previous[i], nullptr);
    pthread_sigmask(SIG_SETMASK, &m_saved->previousMask, nullptr);
    if (const int number = deferredSignal) {
        deferredSignal = 0;
        ::raise(number);
    }
}
