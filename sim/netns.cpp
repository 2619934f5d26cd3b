#include "netns.h"

#include <QByteArray>
#include <QFile>

#include <arpa/inet.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace sim {
namespace netns {

namespace {

bool g_isolated = false;

QByteArray netNamespace()
{
    char link[64] = {};
    const ssize_t n = ::readlink("/proc/self/ns/net", link, sizeof link - 1);
    return n > 0 ? QByteArray(link, int(n)) : QByteArray();
}

QString systemError(const char* what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what),
                                        QString::fromLocal8Bit(std::strerror(errno)));
}

bool writeFile(const char* path, const QByteArray& text)
{
    QFile f(QString::fromLatin1(path));
    return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
}

// An unprivileged user may make a network namespace inside a user namespace of its own, in
// which it keeps its own user and group ids.
bool unshareAsUser(QString* error)
{
    const QByteArray uid = QByteArray::number(::getuid());
    const QByteArray gid = QByteArray::number(::getgid());
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0) {
        *error = systemError("cannot make a network namespace");
        return false;
    }
    if (!writeFile("/proc/self/setgroups", "deny") ||
        !writeFile("/proc/self/uid_map", uid + ' ' + uid + " 1") ||
        !writeFile("/proc/self/gid_map", gid + ' ' + gid + " 1")) {
        *error = QStringLiteral("cannot map the user into its namespace");
        return false;
    }
    return true;
}

bool loopbackUp(QString* error)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq ifr{};
    std::strncpy(ifr.ifr_name, "lo", IFNAMSIZ - 1);
    bool ok = fd >= 0 && ::ioctl(fd, SIOCGIFFLAGS, &ifr) == 0;
    ifr.ifr_flags = short(ifr.ifr_flags | IFF_UP | IFF_RUNNING);
    ok = ok && ::ioctl(fd, SIOCSIFFLAGS, &ifr) == 0;
    if (!ok)
        *error = systemError("cannot bring the loopback interface up");
    if (fd >= 0)
        ::close(fd);
    return ok;
}

} // namespace

bool isolate(QString* error)
{
    const QByteArray before = netNamespace();
    if (::unshare(CLONE_NEWNET) != 0 && (errno != EPERM || !unshareAsUser(error))) {
        if (error->isEmpty())
            *error = systemError("cannot make a network namespace");
        return false;
    }
    const QByteArray after = netNamespace();
    if (before.isEmpty() || after.isEmpty() || after == before) {
        *error = QStringLiteral("the network namespace did not change (%1)")
                     .arg(QString::fromLatin1(after));
        return false;
    }
    if (!loopbackUp(error))
        return false;
    g_isolated = true;
    return true;
}

bool isolated()
{
    return g_isolated;
}

bool addLoopbackAddress(const QString& address, int prefix, QString* error)
{
    if (!g_isolated) {
        *error = QStringLiteral("not in printer-sim's own network namespace");
        return false;
    }
    in_addr ip{};
    if (::inet_pton(AF_INET, address.toLatin1().constData(), &ip) != 1) {
        *error = QStringLiteral("%1 is not an IPv4 address").arg(address);
        return false;
    }
    struct
    {
        nlmsghdr header;
        ifaddrmsg message;
        char attributes[2 * RTA_SPACE(sizeof ip)];
    } request{};
    request.header.nlmsg_type = RTM_NEWADDR;
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_ACK | NLM_F_CREATE | NLM_F_EXCL;
    request.header.nlmsg_len = NLMSG_LENGTH(sizeof request.message);
    request.message.ifa_family = AF_INET;
    request.message.ifa_prefixlen = std::uint8_t(prefix);
    request.message.ifa_index = ::if_nametoindex("lo");
    for (unsigned short type : {IFA_LOCAL, IFA_ADDRESS}) {
        auto* attribute =
            reinterpret_cast<rtattr*>(reinterpret_cast<char*>(&request) + request.header.nlmsg_len);
        attribute->rta_type = type;
        attribute->rta_len = RTA_LENGTH(sizeof ip);
        std::memcpy(RTA_DATA(attribute), &ip, sizeof ip);
        request.header.nlmsg_len = NLMSG_ALIGN(request.header.nlmsg_len) + RTA_SPACE(sizeof ip);
    }
    const int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    char reply[512];
    const bool sent = fd >= 0 && ::send(fd, &request, request.header.nlmsg_len, 0) >= 0;
    const ssize_t n = sent ? ::recv(fd, reply, sizeof reply, 0) : -1;
    if (fd >= 0)
        ::close(fd);
    const auto* answer = reinterpret_cast<const nlmsghdr*>(reply);
    int rc = n < ssize_t(NLMSG_LENGTH(sizeof(nlmsgerr))) ? -EIO : 0;
    if (rc == 0 && answer->nlmsg_type == NLMSG_ERROR)
        rc = static_cast<const nlmsgerr*>(NLMSG_DATA(answer))->error;
    // Two printers may share a subnet, or the address.
    if (rc != 0 && rc != -EEXIST) {
        errno = -rc;
        *error = systemError("cannot add the address to the loopback interface");
        return false;
    }
    return true;
}

} // namespace netns
} // namespace sim
