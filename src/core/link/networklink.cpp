#include "link/networklink.h"

#include <QElapsedTimer>
#include <QtGlobal>

#include <cerrno>
#include <cstring>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

Outcome fromErrno(int error, Failure otherwise)
{
    const QString detail = QString::fromLocal8Bit(std::strerror(error));
    switch (error) {
    case ECONNREFUSED:
        return Outcome::failed(Failure::ConnectionRefused, -error, detail);
    case ENETUNREACH:
    case EHOSTUNREACH:
    case EADDRNOTAVAIL:
        return Outcome::failed(Failure::NoRoute, -error, detail);
    case ETIMEDOUT:
        return Outcome::failed(Failure::Timeout, -error, detail);
    case ECONNRESET:
    case EPIPE:
        return Outcome::failed(Failure::ConnectionLost, -error, detail);
    default:
        return Outcome::failed(otherwise, -error, detail);
    }
}

// Waits for events on fd within what is left of budgetMs; 0 on time-out, -1 on error.
int waitFor(int fd, short events, const QElapsedTimer& clock, int budgetMs)
{
    for (;;) {
        const qint64 left = budgetMs - clock.elapsed();
        if (left <= 0)
            return 0;
        pollfd p = {fd, events, 0};
        const int rc = ::poll(&p, 1, int(left));
        if (rc < 0 && errno == EINTR)
            continue;
        return rc;
    }
}

bool isLoopback(const sockaddr* sa)
{
    if (sa->sa_family == AF_INET)
        return (ntohl(reinterpret_cast<const sockaddr_in*>(sa)->sin_addr.s_addr) >> 24) == 127;
    return sa->sa_family == AF_INET6 &&
           IN6_IS_ADDR_LOOPBACK(&reinterpret_cast<const sockaddr_in6*>(sa)->sin6_addr);
}

// One non-blocking connect to one resolved address.
Outcome connectOne(const addrinfo* ai, int budgetMs, int& fd)
{
    // Set by the printer simulator where it could not give the program a network of its own:
    // a test or a demo then reaches nothing but this machine.
    if (!qEnvironmentVariableIsEmpty("RPS_LOOPBACK_ONLY") && !isLoopback(ai->ai_addr))
        return Outcome::failed(Failure::NoRoute, -ENETUNREACH,
                               QStringLiteral("only loopback under the printer simulator"));
    fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, ai->ai_protocol);
    if (fd < 0)
        return fromErrno(errno, Failure::NetworkFailed);
    QElapsedTimer clock;
    clock.start();
    if (::connect(fd, ai->ai_addr, ai->ai_addrlen) != 0 && errno != EINPROGRESS)
        return fromErrno(errno, Failure::NetworkFailed);
    const int ready = waitFor(fd, POLLOUT, clock, budgetMs);
    if (ready == 0)
        return Outcome::failed(Failure::Timeout, -ETIMEDOUT);
    int error = 0;
    socklen_t length = sizeof error;
    if (ready < 0 || ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        error = errno;
    if (error != 0)
        return fromErrno(error, Failure::NetworkFailed);
    const int one = 1;
    // Status requests are three bytes: waiting to fill a segment would cost every one 40 ms.
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return Outcome::success();
}

} // namespace

std::unique_ptr<NetworkLink> NetworkLink::open(const PrinterAddress& address, Outcome& outcome,
                                               int connectBudgetMs)
{
    addrinfo hints = {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const QByteArray host = address.host.toUtf8();
    const QByteArray service = QByteArray::number(address.tcpPort);
    const int rc = ::getaddrinfo(host.constData(), service.constData(), &hints, &found);
    if (rc != 0 || !found) {
        outcome =
            Outcome::failed(Failure::HostNotFound, -1, QString::fromLocal8Bit(gai_strerror(rc)));
        return nullptr;
    }
    int fd = -1;
    outcome = Outcome::failed(Failure::HostNotFound, -1);
    for (const addrinfo* ai = found; ai; ai = ai->ai_next) {
        outcome = connectOne(ai, connectBudgetMs, fd);
        if (outcome.ok())
            break;
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
    ::freeaddrinfo(found);
    if (!outcome.ok()) {
        qDebug("connect to %s failed: %s", qUtf8Printable(address.toString()),
               qUtf8Printable(outcomeText(outcome)));
        return nullptr;
    }
    return std::unique_ptr<NetworkLink>(new NetworkLink(address, fd));
}

NetworkLink::~NetworkLink()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

Outcome NetworkLink::fail(const Outcome& outcome)
{
    if (outcome.failure == Failure::Timeout || outcome.failure == Failure::ConnectionLost)
        m_lost = outcome;
    return noted(outcome);
}

Outcome NetworkLink::send(const QByteArray& bytes, int budgetMs)
{
    if (!m_lost.ok())
        return noted(m_lost);
    QElapsedTimer clock;
    clock.start();
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::send(m_fd, bytes.constData() + done, size_t(bytes.size() - done), MSG_NOSIGNAL);
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            return fail(fromErrno(errno, Failure::WriteFailed));
        if (waitFor(m_fd, POLLOUT, clock, budgetMs) == 0)
            return fail(Outcome::failed(Failure::Timeout, -ETIMEDOUT));
    }
    qDebug("network write: %d bytes to %s", int(bytes.size()),
           qUtf8Printable(m_address.toString()));
    return noted(Outcome::success());
}

Outcome NetworkLink::exchange(const QByteArray& bytes, const ReplyMatcher& match,
                              QByteArray& answer, int budgetMs)
{
    Outcome sent = send(bytes);
    if (!sent.ok())
        return sent;
    QByteArray collected;
    QElapsedTimer clock;
    clock.start();
    char buffer[512];
    for (;;) {
        for (;;) {
            const ReplyScan scan = match(
                reinterpret_cast<const unsigned char*>(collected.constData()), collected.size());
            if (scan.kind == ReplyScan::Frame) {
                answer = collected.left(scan.at);
                return noted(Outcome::success());
            }
            if (scan.kind == ReplyScan::Malformed)
                return noted(Outcome::failed(Failure::MalformedReply, 4));
            if (scan.kind != ReplyScan::Skip)
                break;
            collected.remove(0, qMax(1, scan.at));
        }
        const int ready = waitFor(m_fd, POLLIN, clock, budgetMs);
        if (ready == 0)
            return fail(Outcome::failed(Failure::Timeout, 4));
        const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
        if (n == 0)
            return fail(Outcome::failed(Failure::ConnectionLost, 4));
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            return fail(fromErrno(errno, Failure::ReadFailed));
        if (n > 0)
            collected.append(buffer, int(n));
    }
}

Outcome NetworkLink::drain(int budgetMs)
{
    if (!m_lost.ok())
        return noted(m_lost);
    QElapsedTimer clock;
    clock.start();
    char buffer[512];
    while (waitFor(m_fd, POLLIN, clock, budgetMs) > 0) {
        const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
        if (n == 0)
            return fail(Outcome::failed(Failure::ConnectionLost, 4));
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            return fail(fromErrno(errno, Failure::ReadFailed));
    }
    return noted(Outcome::success());
}
