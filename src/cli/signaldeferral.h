#pragma once

#include <functional>
#include <memory>

// While it lives, hangup, interrupt, quit, broken pipe and termination wait, and take their
// course as it ends: ending the process while it holds a printer's claim would leave the printer
// without its kernel driver, which the kernel does not bind again. Blocked in this thread, so no
// transfer is interrupted, and caught by a handler elsewhere: any thread may take a signal meant
// for the process (the toolkit's image conversion threads), and each must leave it here.
class SignalDeferral
{
public:
    SignalDeferral();
    ~SignalDeferral();
    SignalDeferral(const SignalDeferral&) = delete;
    SignalDeferral& operator=(const SignalDeferral&) = delete;

    // Said before a deferred signal ends the process: the command's report of what it did so
    // far, which would be lost with the process. Standard output is flushed after it.
    static void setLastWords(std::function<void()> say);

private:
    struct Saved;
    std::unique_ptr<Saved> m_saved;
};
