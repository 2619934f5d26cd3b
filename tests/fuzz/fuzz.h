#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

// A broken property stops the run as a crash does, so libFuzzer keeps the input and its replay
// fails the test.
#define FUZZ_REQUIRE(condition)                                                                    \
    ((condition)                                                                                   \
         ? void()                                                                                  \
         : (std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #condition),  \
            std::abort()))

inline QByteArray fuzzBytes(const std::uint8_t* data, std::size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), int(size));
}

// The code under test logs every step to the debug channel, which would drown libFuzzer's lines
// and slow every run; the program's own log shows nothing a target checks.
inline const bool fuzzLogSilenced =
    (qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {}), true);

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
