// gio names a struct member "signals", which Qt defines as a keyword: umockdev goes first.
#include <glib.h>
#include <umockdev.h>

#include "simprinter.h"

#include <QHash>
#include <QMutexLocker>
#include <QRegularExpression>
#include <QVector>

#include <fcntl.h>
#include <linux/ioctl.h>
#include <linux/usbdevice_fs.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>

namespace sim {

namespace {

constexpr int BusNumber = 1;
constexpr int RootHubDevnum = 1;
constexpr const char* BusPath = "/devices/pci0000:00/0000:00:14.0";
constexpr std::uint8_t ProductStringIndex = 2;
constexpr unsigned char BulkOut = 0x01;
constexpr unsigned char BulkIn = 0x81;
constexpr const char* KernelDriverName = "usblp";
constexpr int LangEnglishUs = 0x0409;

// Single URBs of any size, so that one bulk transfer of the host is one transfer of the printer.
constexpr std::uint32_t Capabilities = USBDEVFS_CAP_ZERO_PACKET | USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                                       USBDEVFS_CAP_BULK_SCATTER_GATHER |
                                       USBDEVFS_CAP_REAP_AFTER_DISCONNECT;

void put16(QByteArray& out, int value)
{
    out.append(char(value & 0xFF));
    out.append(char((value >> 8) & 0xFF));
}

QByteArray deviceDescriptor(int vendor, int product, int deviceClass, int iProduct)
{
    QByteArray d;
    d.append(char(18));
    d.append(char(0x01));
    put16(d, 0x0200);
    d.append(char(deviceClass));
    d.append(char(0));
    d.append(char(0));
    d.append(char(64));
    put16(d, vendor);
    put16(d, product);
    put16(d, 0x0100);
    d.append(char(0)); // no manufacturer string
    d.append(char(iProduct));
    d.append(char(0)); // no serial number
    d.append(char(1));
    return d;
}

// One configuration, one printer-class interface, bulk OUT 0x01 and bulk IN 0x81.
QByteArray printerConfiguration(int iInterface)
{
    QByteArray c;
    c.append("\x09\x02", 2);
    put16(c, 9 + 9 + 7 + 7);
    c.append(char(1));    // interfaces
    c.append(char(1));    // bConfigurationValue
    c.append(char(0));    // iConfiguration
    c.append(char(0xC0)); // self-powered
    c.append(char(50));   // 100 mA
    c.append("\x09\x04\x00\x00\x02\x07\x01\x02", 8);
    c.append(char(iInterface));
    c.append("\x07\x05", 2);
    c.append(char(BulkOut));
    c.append(char(0x02));
    put16(c, 512);
    c.append(char(0));
    c.append("\x07\x05", 2);
    c.append(char(BulkIn));
    c.append(char(0x02));
    put16(c, 512);
    c.append(char(0));
    return c;
}

QByteArray hubConfiguration()
{
    return QByteArray("\x09\x02\x19\x00\x01\x01\x00\xE0\x00"
                      "\x09\x04\x00\x00\x01\x09\x00\x00\x00"
                      "\x07\x05\x81\x03\x02\x00\x0C",
                      25);
}

QByteArray stringDescriptor(const QByteArray& text)
{
    QByteArray d;
    const QString s = QString::fromUtf8(text).left(126);
    d.append(char(2 + 2 * s.size()));
    d.append(char(0x03));
    for (QChar ch : s)
        put16(d, ch.unicode());
    return d;
}

struct Urb
{
    UMockdevIoctlData* urb = nullptr; // the client's struct usbdevfs_urb
    UMockdevIoctlData* buffer = nullptr;
    unsigned char endpoint = 0;

    ~Urb()
    {
        if (buffer)
            g_object_unref(buffer);
        if (urb)
            g_object_unref(urb);
    }
    usbdevfs_urb* header() const { return reinterpret_cast<usbdevfs_urb*>(urb->data); }
};

// One open of the device node: its URBs and whether it holds the interface.
struct Client
{
    UMockdevIoctlClient* client = nullptr;
    QList<Urb*> pending;
    QList<Urb*> done;
    bool claimed = false;

    ~Client()
    {
        qDeleteAll(pending);
        qDeleteAll(done);
        g_object_unref(client);
    }
    bool connected() const { return umockdev_ioctl_client_get_connected(client); }
};

enum class Node
{
    Fifo,
    Missing,
    Refused
};

struct Device
{
    SimPrinter* printer = nullptr;
    QByteArray syspath;
    QByteArray devnode;  // /dev/bus/usb/001/NNN
    QByteArray nodePath; // the node inside the testbed
    int devnum = 0;
    int fifo = -1;
    bool fifoFull = false;
    Node node = Node::Fifo;
    QList<Client*> clients;

    ~Device() { qDeleteAll(clients); }
};

QByteArray record(const QByteArray& syspath, int devnum, const QByteArray& descriptors, bool node)
{
    const QByteArray num = QByteArray::number(devnum).rightJustified(3, '0');
    QByteArray r = "P: " + syspath + "\n";
    if (node)
        r += "N: bus/usb/001/" + num + "\n";
    r += "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DRIVER=usb\n";
    r += "E: DEVNAME=/dev/bus/usb/001/" + num + "\n";
    r += "E: BUSNUM=001\nE: DEVNUM=" + num + "\n";
    r += "A: busnum=" + QByteArray::number(BusNumber) + "\\n\n";
    r += "A: devnum=" + QByteArray::number(devnum) + "\\n\n";
    r += "A: speed=480\\n\nA: bConfigurationValue=1\\n\n";
    r += "H: descriptors=" + descriptors.toHex().toUpper() + "\n";
    return r;
}

} // namespace

// How one ioctl ends: an errno, or 0 and the value the call returns; and whether the printer
// is to be pulled out after it.
struct IoctlResult
{
    int error = 0;
    long value = 0;
    bool unplugNow = false;
};

struct SimBus::Impl
{
    UMockdevTestbed* testbed = nullptr;
    UMockdevIoctlBase* handler = nullptr;
    QByteArray rootDir;
    mutable QMutex mutex;
    QList<Device*> devices;
    QHash<QString, QPair<QByteArray, int>> hubs; // name -> sysfs path and devnum, root excepted
    int nextDevnum = RootHubDevnum + 1;

    ~Impl() { qDeleteAll(devices); }

    Device* deviceForNode(const char* devnode) const
    {
        for (Device* d : devices) {
            if (d->devnode == devnode)
                return d;
        }
        return nullptr;
    }

    int allocateDevnum()
    {
        // Device numbers are not reused soon, as the kernel does, so that a libusb context that
        // still holds an unplugged printer never mistakes a new one for it.
        for (int tries = 0; tries < 254; ++tries) {
            const int n = nextDevnum;
            nextDevnum = nextDevnum >= 255 ? RootHubDevnum + 1 : nextDevnum + 1;
            bool used = false;
            for (Device* d : qAsConst(devices))
                used = used || d->devnum == n;
            for (const auto& hub : qAsConst(hubs))
                used = used || hub.second == n;
            if (!used)
                return n;
        }
        return -1;
    }

    void addHub(const QString& name, const QByteArray& syspath, int devnum)
    {
        const QByteArray desc = deviceDescriptor(0x1D6B, 0x0002, 0x09, 0) + hubConfiguration();
        const bool root = devnum == RootHubDevnum;
        umockdev_testbed_add_from_string(testbed, record(syspath, devnum, desc, root), nullptr);
        if (!root)
            hubs.insert(name, qMakePair(syspath, devnum));
    }

    bool hubInUse(const QString& name) const
    {
        for (Device* d : devices) {
            if (d->printer->config().sysfsName.startsWith(name + QLatin1Char('.')))
                return true;
        }
        return false;
    }

    // Hubs that nothing hangs from any more are taken away, deepest first.
    QList<QByteArray> unusedHubs()
    {
        QStringList names = hubs.keys();
        std::sort(names.begin(), names.end(),
                  [](const QString& a, const QString& b) { return a.size() > b.size(); });
        QList<QByteArray> paths;
        for (const QString& name : qAsConst(names)) {
            if (!hubInUse(name))
                paths.append(hubs.take(name).first);
        }
        return paths;
    }

    // The sysfs path of a device named like "1-2.1": every hub on the way is created once.
    QByteArray pathFor(const QString& name)
    {
        QByteArray path = QByteArray(BusPath) + "/usb1";
        const int dash = name.indexOf(QLatin1Char('-'));
        const QStringList ports = name.mid(dash + 1).split(QLatin1Char('.'));
        QString prefix = name.left(dash + 1);
        for (int i = 0; i < ports.size(); ++i) {
            prefix += (i ? QStringLiteral(".") : QString()) + ports[i];
            path += "/" + prefix.toLatin1();
            if (i + 1 < ports.size() && !hubs.contains(prefix) && !hasDevice(prefix))
                addHub(prefix, path, allocateDevnum());
        }
        return path;
    }

    bool hasDevice(const QString& name) const
    {
        for (Device* d : devices) {
            if (d->printer->config().sysfsName == name)
                return true;
        }
        return false;
    }

    void fillFifo(Device* d)
    {
        static const char chunk[4096] = {};
        while (d->fifo >= 0 && ::write(d->fifo, chunk, sizeof chunk) > 0) {
        }
        d->fifoFull = true;
    }

    void drainFifo(Device* d)
    {
        char chunk[4096];
        while (d->fifo >= 0 && ::read(d->fifo, chunk, sizeof chunk) > 0) {
        }
        d->fifoFull = false;
    }

    // The device node is a FIFO kept full while nothing is reapable, so that it does not poll
    // writable: libusb then sleeps in poll() instead of spinning on REAPURBNDELAY.
    void syncFifo(Device* d)
    {
        bool reapable = false;
        for (Client* c : qAsConst(d->clients))
            reapable = reapable || !c->done.isEmpty();
        if (reapable && d->fifoFull)
            drainFifo(d);
        else if (!reapable && !d->fifoFull)
            fillFifo(d);
    }

    // Hosts that still hold the old node must see it writable, or they never reap what is left.
    void releaseFifo(Device* d)
    {
        if (d->fifo < 0)
            return;
        drainFifo(d);
        ::close(d->fifo);
        d->fifo = -1;
    }

    static Node nodeFor(Fault fault)
    {
        return fault == Fault::Gone          ? Node::Missing
               : fault == Fault::OpenRefused ? Node::Refused
                                             : Node::Fifo;
    }

    // An unplugged printer's node is gone; one refusing the open keeps a node nobody may open.
    void syncNode(Device* d, Fault fault)
    {
        if (nodeFor(fault) != d->node && !d->printer->unplugged())
            setNode(d, nodeFor(fault));
    }

    // Root opens any node whatever its mode: the preloaded refuse-open library fails the opens of
    // the nodes listed here with EACCES. Replaced whole, so that a reader never sees half a list.
    void writeRefusedNodes()
    {
        QByteArray list;
        for (Device* d : qAsConst(devices)) {
            if (d->node == Node::Refused)
                list += d->devnode + "\n";
        }
        const QByteArray path = rootDir + "/refused-nodes";
        const QByteArray temp = path + ".new";
        const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0)
            return;
        const bool written = ::write(fd, list.constData(), size_t(list.size())) == list.size();
        ::close(fd);
        if (written)
            ::rename(temp.constData(), path.constData());
    }

    void setNode(Device* d, Node node)
    {
        releaseFifo(d);
        ::unlink(d->nodePath.constData());
        d->node = node;
        if (node == Node::Missing) {
            writeRefusedNodes();
            return;
        }
        ::mkfifo(d->nodePath.constData(), 0666);
        d->fifo = ::open(d->nodePath.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        d->fifoFull = false;
        writeRefusedNodes();
        syncFifo(d);
    }

    Client* clientFor(Device* d, UMockdevIoctlClient* client)
    {
        for (Client* c : qAsConst(d->clients)) {
            if (c->client == client)
                return c;
        }
        // The host closed its earlier opens without telling (umockdev reports no vanished
        // clients): drop them here, which also gives back a claim the kernel would release.
        for (int i = d->clients.size() - 1; i >= 0; --i) {
            if (!d->clients[i]->connected())
                delete d->clients.takeAt(i);
        }
        auto* c = new Client;
        c->client = UMOCKDEV_IOCTL_CLIENT(g_object_ref(client));
        d->clients.append(c);
        return c;
    }

    bool claimedByOther(Device* d, Client* self) const
    {
        for (Client* c : d->clients) {
            if (c != self && c->claimed && c->connected())
                return true;
        }
        return false;
    }

    bool claimedByAnyone(Device* d) const { return claimedByOther(d, nullptr); }

    void satisfyReads(Device* d)
    {
        for (Client* c : qAsConst(d->clients)) {
            for (int i = 0; i < c->pending.size();) {
                Urb* u = c->pending[i];
                QByteArray reply;
                if (!(u->endpoint & 0x80) || !d->printer->takeReply(reply)) {
                    ++i;
                    continue;
                }
                usbdevfs_urb* h = u->header();
                const int n = qMin(reply.size(), u->buffer->data_len);
                std::memcpy(u->buffer->data, reply.constData(), size_t(n));
                h->actual_length = n;
                h->status = reply.size() > n ? -EOVERFLOW : 0;
                c->done.append(c->pending.takeAt(i));
            }
        }
    }

    // A control transfer: the setup packet, then the data stage in the same buffer.
    int control(Device* d, Urb* u)
    {
        usbdevfs_urb* h = u->header();
        if (u->buffer->data_len < 8)
            return -EINVAL;
        const guint8* setup = u->buffer->data;
        const int requestType = setup[0];
        const int request = setup[1];
        const int value = setup[2] | setup[3] << 8;
        const int length = setup[6] | setup[7] << 8;
        const PrinterConfig& config = d->printer->config();
        QByteArray answer;
        if (requestType == 0x80 && request == 0x06) {
            const int type = value >> 8;
            const int index = value & 0xFF;
            if (type == 1) {
                answer = deviceDescriptor(config.vendorId, config.productId, 0, ProductStringIndex);
            } else if (type == 2 && index == 0) {
                answer = printerConfiguration(config.interfaceString);
            } else if (type == 3 && index == 0) {
                answer = QByteArray("\x04\x03", 2);
                put16(answer, LangEnglishUs);
            } else if (type == 3 && index == ProductStringIndex && config.productReadable) {
                answer = stringDescriptor(config.product);
            } else if (type == 3 && index != 0 && index == config.interfaceString) {
                answer = stringDescriptor("Printer");
            }
        }
        // Requests the printer does not know, vendor ones included, stall.
        if (answer.isNull())
            return -EPIPE;
        const int n = qMin(qMin(answer.size(), length), u->buffer->data_len - 8);
        std::memcpy(u->buffer->data + 8, answer.constData(), size_t(n));
        h->actual_length = n;
        return 0;
    }

    // Returns the errno to fail the SUBMITURB with, or 0 when the URB was taken.
    int submit(Device* d, Client* c, UMockdevIoctlData* arg, bool& unplugNow)
    {
        UMockdevIoctlData* urbData =
            umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
        if (!urbData)
            return EFAULT;
        auto* h = reinterpret_cast<usbdevfs_urb*>(urbData->data);
        auto* u = new Urb;
        u->urb = urbData;
        u->endpoint = h->endpoint;
        u->buffer = umockdev_ioctl_data_resolve(urbData, offsetof(usbdevfs_urb, buffer),
                                                size_t(qMax(0, h->buffer_length)), nullptr);
        if (!u->buffer) {
            delete u;
            return EFAULT;
        }
        h->actual_length = 0;
        h->status = 0;
        if (h->type == USBDEVFS_URB_TYPE_CONTROL) {
            h->status = control(d, u);
            c->done.append(u);
            return 0;
        }
        if (h->type != USBDEVFS_URB_TYPE_BULK ||
            (u->endpoint != BulkOut && u->endpoint != BulkIn)) {
            delete u;
            return EINVAL;
        }
        // usbfs claims the interface on the first transfer to one of its endpoints.
        if (const int rc = claim(d, c)) {
            delete u;
            return rc;
        }
        if (u->endpoint == BulkIn) {
            c->pending.append(u);
            satisfyReads(d);
            return 0;
        }
        const QByteArray data(reinterpret_cast<const char*>(u->buffer->data), u->buffer->data_len);
        const SimPrinter::OutResult out = d->printer->bulkOut(data);
        h->status = out.status;
        h->actual_length = out.transferred;
        c->done.append(u);
        satisfyReads(d);
        unplugNow = d->printer->unplugDue();
        return 0;
    }

    int reap(Client* c, UMockdevIoctlData* arg)
    {
        if (c->done.isEmpty())
            return EAGAIN;
        UMockdevIoctlData* ptr = umockdev_ioctl_data_resolve(arg, 0, sizeof(void*), nullptr);
        if (!ptr)
            return EFAULT;
        Urb* u = c->done.takeFirst();
        umockdev_ioctl_data_set_ptr(ptr, 0, u->urb);
        g_object_unref(ptr);
        delete u;
        return 0;
    }

    // A cancelled URB becomes reapable with -ENOENT, or libusb waits for it for ever. A read the
    // host gave up on is what a late reply waits for.
    int discard(Device* d, Client* c, UMockdevIoctlData* arg)
    {
        const gulong address = *reinterpret_cast<gulong*>(arg->data);
        for (int i = 0; i < c->pending.size(); ++i) {
            Urb* u = c->pending[i];
            if (u->urb->client_addr == address) {
                u->header()->status = -ENOENT;
                u->header()->actual_length = 0;
                if (u->endpoint & 0x80)
                    d->printer->releaseHeldReplies();
                c->done.append(c->pending.takeAt(i));
                return 0;
            }
        }
        return EINVAL;
    }

    // Who holds interface 0, as the kernel names it to the asking open: usbfs for a program that
    // claimed it, the printer-class driver, or nobody (empty).
    QByteArray driverName(Device* d, Client* asking) const
    {
        if (d->printer->heldElsewhere() || claimedByOther(d, asking))
            return "usbfs";
        if (d->printer->kernelDriverAttached())
            return KernelDriverName;
        return asking && asking->claimed ? "usbfs" : QByteArray();
    }

    int getDriver(Device* d, Client* c, UMockdevIoctlData* arg)
    {
        UMockdevIoctlData* data =
            umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_getdriver), nullptr);
        if (!data)
            return EFAULT;
        auto* drv = reinterpret_cast<usbdevfs_getdriver*>(data->data);
        const QByteArray name = driverName(d, c);
        int rc = 0;
        if (drv->interface != 0)
            rc = EINVAL;
        else if (name.isEmpty())
            rc = ENODATA;
        else
            std::snprintf(drv->driver, sizeof drv->driver, "%s", name.constData());
        g_object_unref(data);
        return rc;
    }

    int claim(Device* d, Client* c)
    {
        if (c->claimed)
            return 0;
        if (d->printer->claimBusy() || claimedByOther(d, c))
            return EBUSY;
        c->claimed = true;
        return 0;
    }

    // libusb's auto-detach: unbind the driver unless the flags spare it, then claim.
    int disconnectClaim(Device* d, Client* c, UMockdevIoctlData* arg)
    {
        UMockdevIoctlData* data =
            umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_disconnect_claim), nullptr);
        if (!data)
            return EFAULT;
        const auto* dc = reinterpret_cast<const usbdevfs_disconnect_claim*>(data->data);
        const QByteArray wanted(dc->driver, int(qstrnlen(dc->driver, sizeof dc->driver)));
        const QByteArray name = driverName(d, c);
        bool disconnect = name == KernelDriverName;
        if (dc->flags & USBDEVFS_DISCONNECT_CLAIM_IF_DRIVER)
            disconnect = disconnect && name == wanted;
        if (dc->flags & USBDEVFS_DISCONNECT_CLAIM_EXCEPT_DRIVER)
            disconnect = disconnect && name != wanted;
        const unsigned ifno = dc->interface;
        g_object_unref(data);
        if (ifno != 0)
            return EINVAL;
        if (disconnect)
            d->printer->detachKernelDriver();
        return claim(d, c);
    }

    IoctlResult driverControl(Device* d, Client* c, UMockdevIoctlData* arg)
    {
        UMockdevIoctlData* data =
            umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_ioctl), nullptr);
        if (!data)
            return {EFAULT};
        const auto* cmd = reinterpret_cast<const usbdevfs_ioctl*>(data->data);
        int rc = 0;
        long value = 0;
        if (cmd->ifno != 0) {
            rc = EINVAL;
        } else if (unsigned(cmd->ioctl_code) == USBDEVFS_DISCONNECT) {
            if (d->printer->kernelDriverAttached())
                d->printer->detachKernelDriver();
            else
                rc = ENODATA;
        } else if (unsigned(cmd->ioctl_code) == USBDEVFS_CONNECT) {
            if (c->claimed || claimedByAnyone(d))
                rc = EBUSY;
            else
                d->printer->attachKernelDriver();
            // Like device_attach(): 1 when a driver bound, 0 when none wanted the interface.
            value = d->printer->kernelDriverAttached() ? 1 : 0;
        } else {
            rc = ENOTTY;
        }
        g_object_unref(data);
        return {rc, value};
    }

    IoctlResult handle(Device* d, Client* c, gulong request, UMockdevIoctlData* arg)
    {
        const bool gone = d->printer->unplugged() || d->printer->fault() == Fault::Gone;
        switch (request) {
        case USBDEVFS_REAPURB:
        case USBDEVFS_REAPURBNDELAY:
            return {reap(c, arg)};
        case USBDEVFS_DISCARDURB:
            return {discard(d, c, arg)};
        default:
            break;
        }
        if (gone)
            return {ENODEV};
        switch (request) {
        case USBDEVFS_GET_CAPABILITIES: {
            UMockdevIoctlData* data =
                umockdev_ioctl_data_resolve(arg, 0, sizeof(std::uint32_t), nullptr);
            if (!data)
                return {EFAULT};
            *reinterpret_cast<std::uint32_t*>(data->data) = Capabilities;
            g_object_unref(data);
            return {};
        }
        case USBDEVFS_SUBMITURB: {
            IoctlResult result;
            result.error = submit(d, c, arg, result.unplugNow);
            return result;
        }
        case USBDEVFS_CLAIMINTERFACE:
        case USBDEVFS_RELEASEINTERFACE: {
            UMockdevIoctlData* data =
                umockdev_ioctl_data_resolve(arg, 0, sizeof(unsigned), nullptr);
            if (!data)
                return {EFAULT};
            const unsigned ifno = *reinterpret_cast<unsigned*>(data->data);
            g_object_unref(data);
            if (ifno != 0)
                return {ENOENT};
            if (request == USBDEVFS_RELEASEINTERFACE) {
                if (!c->claimed)
                    return {EINVAL};
                c->claimed = false;
                return {};
            }
            return {claim(d, c)};
        }
        case USBDEVFS_DISCONNECT_CLAIM:
            return {disconnectClaim(d, c, arg)};
        case USBDEVFS_GETDRIVER:
            return {getDriver(d, c, arg)};
        case USBDEVFS_IOCTL:
            return driverControl(d, c, arg);
        default:
            return {ENOTTY};
        }
    }

    void pullOut(Device* d)
    {
        d->printer->markUnplugged();
        for (Client* c : qAsConst(d->clients)) {
            for (Urb* u : qAsConst(c->pending))
                u->header()->status = -ESHUTDOWN;
            c->done.append(c->pending);
            c->pending.clear();
        }
        releaseFifo(d);
    }

    static gboolean onIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self)
    {
        auto* impl = static_cast<Impl*>(self);
        const gulong request = umockdev_ioctl_client_get_request(client);
        UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
        IoctlResult result{ENODEV};
        QByteArray removePath;
        {
            QMutexLocker lock(&impl->mutex);
            Device* d = impl->deviceForNode(umockdev_ioctl_client_get_devnode(client));
            if (d && !d->printer->unplugged()) {
                result = impl->handle(d, impl->clientFor(d, client), request, arg);
                if (result.unplugNow) {
                    impl->pullOut(d);
                    removePath = d->syspath;
                } else {
                    // A fault that a transfer set off may change the node.
                    impl->syncNode(d, d->printer->fault());
                    impl->syncFifo(d);
                }
            } else if (d && request == USBDEVFS_REAPURBNDELAY) {
                result.error = impl->reap(impl->clientFor(d, client), arg);
            }
        }
        if (!removePath.isEmpty())
            umockdev_testbed_remove_device(impl->testbed, ("/sys" + removePath).constData());
        umockdev_ioctl_client_complete(client, result.error ? -1 : result.value, result.error);
        return TRUE;
    }
};

SimBus& SimBus::instance()
{
    static SimBus bus;
    return bus;
}

SimBus::SimBus() : d(new Impl)
{
    d->testbed = umockdev_testbed_new();
    gchar* root = umockdev_testbed_get_root_dir(d->testbed);
    d->rootDir = root;
    g_free(root);
    d->handler = umockdev_ioctl_base_new();
    g_signal_connect_after(d->handler, "handle-ioctl", G_CALLBACK(&Impl::onIoctl), d);
    // libusb looks for usbfs by finding a node under /dev/bus/usb: the root hub always has one.
    d->addHub(QStringLiteral("usb1"), QByteArray(BusPath) + "/usb1", RootHubDevnum);
}

SimBus::~SimBus()
{
    clear();
    g_object_unref(d->handler);
    g_object_unref(d->testbed);
    delete d;
}

SimPrinter* SimBus::add(const PrinterConfig& config)
{
    {
        QMutexLocker lock(&d->mutex);
        static const QRegularExpression name(QStringLiteral("^1-\\d+(\\.\\d+)*$"));
        if (!name.match(config.sysfsName).hasMatch()) {
            qWarning("simulated printer: %s is not a device on bus 1",
                     qPrintable(config.sysfsName));
            return nullptr;
        }
        if (d->hasDevice(config.sysfsName) || d->hubInUse(config.sysfsName)) {
            qWarning("simulated printer: %s is taken on the bus", qPrintable(config.sysfsName));
            return nullptr;
        }
    }
    removeUnusedHubs();
    auto* dev = new Device;
    dev->printer = new SimPrinter(config);
    QByteArray descriptors;
    {
        QMutexLocker lock(&d->mutex);
        dev->devnum = d->allocateDevnum();
        dev->syspath = d->pathFor(config.sysfsName);
    }
    if (dev->devnum < 0) {
        delete dev->printer;
        delete dev;
        return nullptr;
    }
    const QByteArray num = QByteArray::number(dev->devnum).rightJustified(3, '0');
    dev->devnode = "/dev/bus/usb/001/" + num;
    dev->nodePath = d->rootDir + dev->devnode;
    descriptors = deviceDescriptor(config.vendorId, config.productId, 0, ProductStringIndex) +
                  printerConfiguration(config.interfaceString);
    // The handler goes first, so that the node never exists without it.
    umockdev_testbed_attach_ioctl(d->testbed, dev->devnode.constData(), d->handler, nullptr);
    umockdev_testbed_add_from_string(d->testbed,
                                     record(dev->syspath, dev->devnum, descriptors, true), nullptr);
    SimPrinter* printer = dev->printer;
    Impl* impl = d;
    printer->m_faultChanged = [impl, dev](Fault fault) {
        QMutexLocker lock(&impl->mutex);
        impl->syncNode(dev, fault);
    };
    QMutexLocker lock(&d->mutex);
    d->setNode(dev, Node::Fifo);
    d->devices.append(dev);
    lock.unlock();
    if (config.fault != Fault::None)
        printer->setFault(config.fault, config.faultArg, config.faultTrigger);
    return printer;
}

void SimBus::unplug(SimPrinter* printer)
{
    Device* dev = nullptr;
    {
        QMutexLocker lock(&d->mutex);
        for (int i = 0; i < d->devices.size(); ++i) {
            if (d->devices[i]->printer == printer) {
                dev = d->devices.takeAt(i);
                break;
            }
        }
        if (!dev)
            return;
        d->pullOut(dev);
        d->writeRefusedNodes();
    }
    umockdev_testbed_detach_ioctl(d->testbed, dev->devnode.constData(), nullptr);
    const QByteArray sysPath = "/sys" + dev->syspath;
    if (::access((d->rootDir + sysPath).constData(), F_OK) == 0)
        umockdev_testbed_remove_device(d->testbed, sysPath.constData());
    delete dev->printer;
    delete dev;
}

void SimBus::clear()
{
    const QList<SimPrinter*> all = printers();
    for (SimPrinter* p : all)
        unplug(p);
    removeUnusedHubs();
}

void SimBus::removeUnusedHubs()
{
    QList<QByteArray> paths;
    {
        QMutexLocker lock(&d->mutex);
        paths = d->unusedHubs();
    }
    for (const QByteArray& path : qAsConst(paths))
        umockdev_testbed_remove_device(d->testbed, ("/sys" + path).constData());
}

QList<SimPrinter*> SimBus::printers() const
{
    QMutexLocker lock(&d->mutex);
    QList<SimPrinter*> out;
    for (Device* dev : qAsConst(d->devices))
        out.append(dev->printer);
    return out;
}

} // namespace sim
