#include "networkside.h"

#include "netns.h"
#include "simprinter.h"

#include <QMutexLocker>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

namespace sim {

namespace {

qint64 nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

QString errnoText(const char* what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what),
                                        QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

NetworkSide::NetworkSide(SimPrinter& printer) : m_printer(printer)
{
    if (::pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0)
        m_wake[0] = m_wake[1] = -1;
    m_thread = std::thread([this] { run(); });
}

NetworkSide::~NetworkSide()
{
    {
        QMutexLocker lock(&m_mutex);
        m_stop = true;
    }
    if (m_wake[1] >= 0)
        (void)!::write(m_wake[1], "x", 1);
    m_thread.join();
    closeConnection();
    for (const QList<Listener>* list : {&m_listeners, &m_added}) {
        for (const Listener& l : *list)
            ::close(l.fd);
    }
    for (int fd : m_wake) {
        if (fd >= 0)
            ::close(fd);
    }
}

// Nothing beyond loopback is bound unless this process runs in the network namespace that
// printer-sim made and checked: a printer's address may be a real machine's elsewhere.
quint16 NetworkSide::listen(const QString& address, quint16 port, int delayMs, bool enabled,
                            QString* error)
{
    QString ignored;
    QString& why = error ? *error : ignored;
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    if (::inet_pton(AF_INET, address.toLatin1().constData(), &sa.sin_addr) != 1) {
        why = QStringLiteral("%1 is not an IPv4 address").arg(address);
        return 0;
    }
    if ((ntohl(sa.sin_addr.s_addr) >> 24) != 127 && !netns::isolated()) {
        why = QStringLiteral("%1 is outside 127.0.0.0/8 and this is not printer-sim's own "
                             "network namespace")
                  .arg(address);
        return 0;
    }
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    socklen_t size = sizeof sa;
    if (fd < 0 || ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
        ::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &size) != 0) {
        why = errnoText("cannot bind");
        if (fd >= 0)
            ::close(fd);
        return 0;
    }
    // Listening at once where there is no delay, so that a client may connect on return.
    const bool now = enabled && delayMs <= 0 && ::listen(fd, 4) == 0;
    {
        QMutexLocker lock(&m_mutex);
        m_added.append({fd, enabled ? nowMs() + qMax(0, delayMs) : -1, now});
    }
    (void)!::write(m_wake[1], "x", 1);
    return ntohs(sa.sin_port);
}

int NetworkSide::pollTimeout(qint64 now) const
{
    qint64 next = -1;
    auto sooner = [&](qint64 at) { next = next < 0 ? at : qMin(next, at); };
    for (const Listener& l : m_listeners) {
        if (!l.listening && l.listenAt >= 0)
            sooner(l.listenAt);
    }
    for (const Output& o : m_out) {
        if (!o.held)
            sooner(o.due);
    }
    return next < 0 ? -1 : int(qBound(qint64(0), next - now, qint64(60000)));
}

void NetworkSide::run()
{
    for (;;) {
        {
            QMutexLocker lock(&m_mutex);
            if (m_stop)
                return;
            m_listeners += m_added;
            m_added.clear();
        }
        const qint64 now = nowMs();
        for (Listener& l : m_listeners) {
            if (!l.listening && l.listenAt >= 0 && l.listenAt <= now)
                l.listening = ::listen(l.fd, 4) == 0;
        }
        writeDue(now);
        // One connection at a time: others wait in the backlog until it ends.
        std::vector<pollfd> fds{{m_wake[0], POLLIN, 0}};
        if (m_connection >= 0)
            fds.push_back({m_connection, POLLIN, 0});
        for (const Listener& l : m_listeners) {
            if (m_connection < 0 && l.listening)
                fds.push_back({l.fd, POLLIN, 0});
        }
        if (::poll(fds.data(), fds.size(), pollTimeout(now)) < 0 && errno != EINTR)
            return;
        char drain[16];
        while (::read(m_wake[0], drain, sizeof drain) > 0) {
        }
        for (std::size_t i = 1; i < fds.size(); ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            if (fds[i].fd == m_connection)
                read();
            else if (m_connection < 0)
                accept(fds[i].fd);
        }
    }
}

void NetworkSide::accept(int listener)
{
    m_connection = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (m_connection < 0)
        return;
    m_printer.noteConnection();
    if (m_printer.network().fault == NetFault::Close)
        closeConnection();
}

void NetworkSide::read()
{
    char buffer[4096];
    const ssize_t n = ::recv(m_connection, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (n <= 0) {
        closeConnection();
        return;
    }
    const QByteArray bytes(buffer, int(n));
    m_printer.noteNetworkBytes(bytes);
    m_stream += bytes;
    const NetworkConfig net = m_printer.network();
    const qint64 due = nowMs() + m_printer.config().replyDelayMs;
    for (const QByteArray& command : Firmware::takeWhole(m_stream)) {
        // The host has moved on to its next command: what was held back goes now, stale.
        for (Output& o : m_out)
            o.held = false;
        for (const Firmware::Reply& reply : m_printer.takeFromNetwork(command)) {
            if (net.fault != NetFault::Silent)
                m_out.append({reply.bytes, reply.held, due});
        }
    }
}

void NetworkSide::writeDue(qint64 now)
{
    while (m_connection >= 0 && !m_out.isEmpty() && !m_out.first().held &&
           m_out.first().due <= now) {
        QByteArray bytes = m_out.takeFirst().bytes;
        const bool drop = m_printer.network().fault == NetFault::Drop;
        if (drop)
            bytes.truncate(bytes.size() / 2);
        if (::send(m_connection, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL) < 0 || drop)
            closeConnection();
    }
}

void NetworkSide::closeConnection()
{
    if (m_connection >= 0)
        ::close(m_connection);
    m_connection = -1;
    m_stream.clear();
    m_out.clear();
}

} // namespace sim
