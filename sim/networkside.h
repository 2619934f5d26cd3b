#pragma once

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QString>

#include <thread>

namespace sim {

class SimPrinter;

// A printer's network side: its firmware served on TCP as a raw print port, one connection at
// a time, on a thread of its own. Bytes arrive as a stream: a command split over several reads,
// or several in one, is taken whole.
class NetworkSide
{
public:
    explicit NetworkSide(SimPrinter& printer);
    ~NetworkSide();
    NetworkSide(const NetworkSide&) = delete;
    NetworkSide& operator=(const NetworkSide&) = delete;

    // Binds address and port (0: a free one) at once, so the port is known, and listens after
    // delayMs; a disabled listener never listens, so a connection is refused. The port bound,
    // or 0 with a message.
    quint16 listen(const QString& address, quint16 port, int delayMs, bool enabled, QString* error);

private:
    struct Listener
    {
        int fd = -1;
        qint64 listenAt = -1; // -1: never
        bool listening = false;
    };
    struct Output
    {
        QByteArray bytes;
        bool held = false; // a late reply: goes when the host sends its next command
        qint64 due = 0;
    };
    void run();
    int pollTimeout(qint64 now) const;
    void accept(int listener);
    void read();
    void writeDue(qint64 now);
    void closeConnection();

    SimPrinter& m_printer;
    QMutex m_mutex; // m_added and m_stop, shared with the callers' threads
    QList<Listener> m_added;
    bool m_stop = false;
    int m_wake[2] = {-1, -1};
    // The thread's own.
    QList<Listener> m_listeners;
    int m_connection = -1;
    QByteArray m_stream;
    QList<Output> m_out;
    std::thread m_thread;
};

} // namespace sim
