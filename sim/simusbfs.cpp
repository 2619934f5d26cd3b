#include "simusbfs.h"

#include "simdescriptors.h"
#include "simprinter.h"

#include <linux/ioctl.h>
#include <linux/usbdevice_fs.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>

namespace sim::usbfs {

namespace {

constexpr const char* KernelDriverName = "usblp";

// Single URBs of any size, so that one bulk transfer of the host is one transfer of the printer.
constexpr std::uint32_t Capabilities = USBDEVFS_CAP_ZERO_PACKET | USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                                       USBDEVFS_CAP_BULK_SCATTER_GATHER |
                                       USBDEVFS_CAP_REAP_AFTER_DISCONNECT;

GRef<UMockdevIoctlData> resolve(UMockdevIoctlData* arg, gsize offset, gsize size)
{
    return GRef<UMockdevIoctlData>(umockdev_ioctl_data_resolve(arg, offset, size, nullptr));
}

std::unique_ptr<Urb> take(Urbs& urbs, std::size_t i)
{
    std::unique_ptr<Urb> u = std::move(urbs[i]);
    urbs.erase(urbs.begin() + std::ptrdiff_t(i));
    return u;
}

void fillFifo(Device& d)
{
    static const char chunk[4096] = {};
    while (d.fifo >= 0 && ::write(d.fifo, chunk, sizeof chunk) > 0) {
    }
    d.fifoFull = true;
}

void drainFifo(Device& d)
{
    char chunk[4096];
    while (d.fifo >= 0 && ::read(d.fifo, chunk, sizeof chunk) > 0) {
    }
    d.fifoFull = false;
}

// Which interface a number names: the printer's, the other one of a composite printer (which
// no driver binds and nothing uses), or none.
enum class Itf
{
    Printer,
    Other,
    None
};

Itf interfaceOf(const Device& d, unsigned number)
{
    const usb::Composite composite = d.printer->config().composite;
    if (number == unsigned(usb::printerInterface(composite)))
        return Itf::Printer;
    return composite != usb::Composite::None && number == 0 ? Itf::Other : Itf::None;
}

bool claimedByOther(const Device& d, const Client* self)
{
    for (const auto& c : d.clients) {
        if (c.get() != self && c->claimed && c->connected())
            return true;
    }
    return false;
}

bool claimedByAnyone(const Device& d)
{
    return claimedByOther(d, nullptr);
}

// Packets fill an IN URB until a short one (a zero-length one included) or a full buffer ends
// it; a packet larger than the room left ends it with -EOVERFLOW. Whether the URB is done.
bool fillRead(SimPrinter& printer, Urb& u)
{
    usbdevfs_urb* h = u.header();
    const int maxPacket = printer.config().maxPacket;
    QByteArray packet;
    while (h->actual_length < u.buffer->data_len && printer.takePacket(packet)) {
        const int room = u.buffer->data_len - h->actual_length;
        const int n = qMin(room, int(packet.size()));
        std::memcpy(u.buffer->data + h->actual_length, packet.constData(), size_t(n));
        h->actual_length += n;
        if (packet.size() > room) {
            h->status = -EOVERFLOW;
            return true;
        }
        if (packet.size() < maxPacket)
            return true;
    }
    return h->actual_length > 0 && h->actual_length == u.buffer->data_len;
}

void satisfyReads(Device& d)
{
    for (const auto& c : d.clients) {
        for (std::size_t i = 0; i < c->pending.size();) {
            Urb& u = *c->pending[i];
            if ((u.endpoint & 0x80) && fillRead(*d.printer, u))
                c->done.push_back(take(c->pending, i));
            else
                ++i;
        }
    }
}

// A control transfer: the setup packet, then the data stage in the same buffer.
int control(const Device& d, Urb& u)
{
    usbdevfs_urb* h = u.header();
    if (u.buffer->data_len < 8)
        return -EINVAL;
    const guint8* setup = u.buffer->data;
    const int requestType = setup[0];
    const int request = setup[1];
    const int value = setup[2] | setup[3] << 8;
    const int length = setup[6] | setup[7] << 8;
    const PrinterConfig& config = d.printer->config();
    QByteArray answer;
    if (requestType == 0x80 && request == 0x06) {
        const int type = value >> 8;
        const int index = value & 0xFF;
        if (type == 1) {
            answer = usb::deviceDescriptor(config.vendorId, config.productId, 0,
                                           usb::ProductStringIndex);
        } else if (type == 2 && index == 0) {
            answer = usb::printerConfiguration(config.interfaceString, config.maxPacket,
                                               config.composite);
        } else if (type == 3 && index == 0) {
            answer = usb::languagesDescriptor();
        } else if (type == 3 && index == usb::ProductStringIndex && config.productReadable) {
            answer = usb::stringDescriptor(config.product);
        } else if (type == 3 && index != 0 && index == config.interfaceString) {
            answer = usb::stringDescriptor("Printer");
        }
    }
    // Requests the printer does not know, vendor ones included, stall.
    if (answer.isNull())
        return -EPIPE;
    const int n = qMin(qMin(answer.size(), length), u.buffer->data_len - 8);
    std::memcpy(u.buffer->data + 8, answer.constData(), size_t(n));
    h->actual_length = n;
    return 0;
}

int claim(const Device& d, Client& c)
{
    if (c.claimed)
        return 0;
    if (d.printer->claimBusy() || claimedByOther(d, &c))
        return EBUSY;
    c.claimed = true;
    d.printer->noteClaim();
    return 0;
}

// Returns the errno to fail the SUBMITURB with, or 0 when the URB was taken.
int submit(Device& d, Client& c, UMockdevIoctlData* arg, bool& unplugNow)
{
    GRef<UMockdevIoctlData> urbData = resolve(arg, 0, sizeof(usbdevfs_urb));
    if (!urbData)
        return EFAULT;
    auto* h = reinterpret_cast<usbdevfs_urb*>(urbData->data);
    auto u = std::make_unique<Urb>();
    u->endpoint = h->endpoint;
    u->buffer =
        resolve(urbData.get(), offsetof(usbdevfs_urb, buffer), size_t(qMax(0, h->buffer_length)));
    u->urb = std::move(urbData);
    if (!u->buffer)
        return EFAULT;
    h->actual_length = 0;
    h->status = 0;
    if (h->type == USBDEVFS_URB_TYPE_CONTROL) {
        h->status = control(d, *u);
        c.done.push_back(std::move(u));
        return 0;
    }
    if (h->type != USBDEVFS_URB_TYPE_BULK ||
        (u->endpoint != usb::BulkOut && u->endpoint != usb::BulkIn))
        return EINVAL;
    // usbfs claims the interface on the first transfer to one of its endpoints.
    if (const int rc = claim(d, c))
        return rc;
    // A halted endpoint stalls the transfer at once; a stalled OUT transfer delivers nothing.
    if (u->endpoint == usb::BulkIn && d.printer->stalls(usb::BulkIn)) {
        h->status = -EPIPE;
        c.done.push_back(std::move(u));
        return 0;
    }
    if (u->endpoint == usb::BulkIn) {
        c.pending.push_back(std::move(u));
        satisfyReads(d);
        return 0;
    }
    const QByteArray data(reinterpret_cast<const char*>(u->buffer->data), u->buffer->data_len);
    const SimPrinter::OutResult out = d.printer->bulkOut(data);
    h->status = out.status;
    h->actual_length = out.transferred;
    c.done.push_back(std::move(u));
    satisfyReads(d);
    unplugNow = d.printer->unplugDue();
    return 0;
}

// A cancelled URB becomes reapable with -ENOENT, or libusb waits for it for ever; it keeps the
// bytes it received, as the kernel's does. A read the host gave up on is what a late reply
// waits for.
int discard(Device& d, Client& c, UMockdevIoctlData* arg)
{
    const gulong address = *reinterpret_cast<gulong*>(arg->data);
    for (std::size_t i = 0; i < c.pending.size(); ++i) {
        Urb& u = *c.pending[i];
        if (u.urb->client_addr == address) {
            u.header()->status = -ENOENT;
            if (u.endpoint & 0x80)
                d.printer->releaseHeldReplies();
            c.done.push_back(take(c.pending, i));
            return 0;
        }
    }
    return EINVAL;
}

// Who holds interface 0, as the kernel names it to the asking open: usbfs for a program that
// claimed it, the printer-class driver, or nobody (empty).
QByteArray driverName(const Device& d, const Client* asking)
{
    if (d.printer->heldElsewhere() || claimedByOther(d, asking))
        return "usbfs";
    if (d.printer->kernelDriverAttached())
        return KernelDriverName;
    return asking && asking->claimed ? "usbfs" : QByteArray();
}

int getDriver(const Device& d, const Client& c, UMockdevIoctlData* arg)
{
    const GRef<UMockdevIoctlData> data = resolve(arg, 0, sizeof(usbdevfs_getdriver));
    if (!data)
        return EFAULT;
    auto* drv = reinterpret_cast<usbdevfs_getdriver*>(data->data);
    const Itf itf = interfaceOf(d, drv->interface);
    if (itf == Itf::None)
        return EINVAL;
    const QByteArray name = itf == Itf::Printer ? driverName(d, &c)
                            : c.otherClaimed    ? QByteArray("usbfs")
                                                : QByteArray();
    if (name.isEmpty())
        return ENODATA;
    std::snprintf(drv->driver, sizeof drv->driver, "%s", name.constData());
    return 0;
}

// libusb's auto-detach: unbind the driver unless the flags spare it, then claim.
int disconnectClaim(Device& d, Client& c, UMockdevIoctlData* arg)
{
    const GRef<UMockdevIoctlData> data = resolve(arg, 0, sizeof(usbdevfs_disconnect_claim));
    if (!data)
        return EFAULT;
    const auto* dc = reinterpret_cast<const usbdevfs_disconnect_claim*>(data->data);
    const QByteArray wanted(dc->driver, int(qstrnlen(dc->driver, sizeof dc->driver)));
    const Itf itf = interfaceOf(d, dc->interface);
    if (itf == Itf::None)
        return EINVAL;
    if (itf == Itf::Other) {
        c.otherClaimed = true;
        return 0;
    }
    const QByteArray name = driverName(d, &c);
    bool disconnect = name == KernelDriverName;
    if (dc->flags & USBDEVFS_DISCONNECT_CLAIM_IF_DRIVER)
        disconnect = disconnect && name == wanted;
    if (dc->flags & USBDEVFS_DISCONNECT_CLAIM_EXCEPT_DRIVER)
        disconnect = disconnect && name != wanted;
    if (disconnect)
        d.printer->detachKernelDriver();
    return claim(d, c);
}

IoctlResult driverControl(Device& d, const Client& c, UMockdevIoctlData* arg)
{
    const GRef<UMockdevIoctlData> data = resolve(arg, 0, sizeof(usbdevfs_ioctl));
    if (!data)
        return {EFAULT};
    const auto* cmd = reinterpret_cast<const usbdevfs_ioctl*>(data->data);
    const Itf itf = interfaceOf(d, unsigned(cmd->ifno));
    if (itf != Itf::Printer)
        return itf == Itf::None || unsigned(cmd->ioctl_code) == USBDEVFS_DISCONNECT
                   ? IoctlResult{itf == Itf::None ? EINVAL : ENODATA}
                   : IoctlResult{};
    if (unsigned(cmd->ioctl_code) == USBDEVFS_DISCONNECT) {
        if (!d.printer->kernelDriverAttached())
            return {ENODATA};
        d.printer->detachKernelDriver();
        return {};
    }
    if (unsigned(cmd->ioctl_code) == USBDEVFS_CONNECT) {
        int rc = 0;
        if (c.claimed || claimedByAnyone(d))
            rc = EBUSY;
        else
            d.printer->attachKernelDriver();
        // Like device_attach(): 1 when a driver bound, 0 when none wanted the interface.
        return {rc, d.printer->kernelDriverAttached() ? 1 : 0};
    }
    return {ENOTTY};
}

int claimOrRelease(const Device& d, Client& c, gulong request, UMockdevIoctlData* arg)
{
    const GRef<UMockdevIoctlData> data = resolve(arg, 0, sizeof(unsigned));
    if (!data)
        return EFAULT;
    const Itf itf = interfaceOf(d, *reinterpret_cast<unsigned*>(data->data));
    if (itf == Itf::None)
        return ENOENT;
    if (itf == Itf::Other) {
        const bool wasClaimed = c.otherClaimed;
        c.otherClaimed = request == USBDEVFS_CLAIMINTERFACE;
        return request == USBDEVFS_CLAIMINTERFACE || wasClaimed ? 0 : EINVAL;
    }
    if (request == USBDEVFS_CLAIMINTERFACE)
        return claim(d, c);
    if (!c.claimed)
        return EINVAL;
    c.claimed = false;
    return 0;
}

int clearHalt(const Device& d, UMockdevIoctlData* arg)
{
    const GRef<UMockdevIoctlData> data = resolve(arg, 0, sizeof(unsigned));
    if (!data)
        return EFAULT;
    const unsigned endpoint = *reinterpret_cast<unsigned*>(data->data);
    if (endpoint != usb::BulkIn && endpoint != usb::BulkOut)
        return EINVAL;
    d.printer->clearHalt(static_cast<unsigned char>(endpoint));
    return 0;
}

} // namespace

usbdevfs_urb* Urb::header() const
{
    return reinterpret_cast<usbdevfs_urb*>(urb->data);
}

Client& clientFor(Device& d, UMockdevIoctlClient* client)
{
    for (const auto& c : d.clients) {
        if (c->client.get() == client)
            return *c;
    }
    // The host closed its earlier opens without telling (umockdev reports no vanished
    // clients): drop them here, which also gives back a claim the kernel would release.
    for (std::size_t i = d.clients.size(); i-- > 0;) {
        if (!d.clients[i]->connected())
            d.clients.erase(d.clients.begin() + std::ptrdiff_t(i));
    }
    auto c = std::make_unique<Client>();
    c->client.reset(UMOCKDEV_IOCTL_CLIENT(g_object_ref(client)));
    d.clients.push_back(std::move(c));
    return *d.clients.back();
}

IoctlResult handle(Device& d, Client& c, gulong request, UMockdevIoctlData* arg)
{
    const bool gone = d.printer->unplugged() || d.printer->fault() == Fault::Gone;
    switch (request) {
    case USBDEVFS_REAPURB:
    case USBDEVFS_REAPURBNDELAY:
        // Packets that came due since the last call (a delayed or split reply).
        if (!gone)
            satisfyReads(d);
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
        const GRef<UMockdevIoctlData> data = resolve(arg, 0, sizeof(std::uint32_t));
        if (!data)
            return {EFAULT};
        *reinterpret_cast<std::uint32_t*>(data->data) = Capabilities;
        return {};
    }
    case USBDEVFS_SUBMITURB: {
        IoctlResult result;
        result.error = submit(d, c, arg, result.unplugNow);
        return result;
    }
    case USBDEVFS_CLEAR_HALT:
        return {clearHalt(d, arg)};
    case USBDEVFS_CLAIMINTERFACE:
    case USBDEVFS_RELEASEINTERFACE:
        return {claimOrRelease(d, c, request, arg)};
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

int reap(Client& c, UMockdevIoctlData* arg)
{
    if (c.done.empty())
        return EAGAIN;
    GRef<UMockdevIoctlData> ptr = resolve(arg, 0, sizeof(void*));
    if (!ptr)
        return EFAULT;
    const std::unique_ptr<Urb> u = take(c.done, 0);
    umockdev_ioctl_data_set_ptr(ptr.get(), 0, u->urb.get());
    ptr.reset();
    return 0;
}

void pullOut(Device& d)
{
    d.printer->markUnplugged();
    for (const auto& c : d.clients) {
        for (auto& u : c->pending) {
            u->header()->status = -ESHUTDOWN;
            c->done.push_back(std::move(u));
        }
        c->pending.clear();
    }
    releaseFifo(d);
}

void syncFifo(Device& d)
{
    // While packets are due later, the host must keep reaping to find them come due.
    bool reapable = d.printer->packetsLater();
    for (const auto& c : d.clients)
        reapable = reapable || !c->done.empty();
    if (reapable && d.fifoFull)
        drainFifo(d);
    else if (!reapable && !d.fifoFull)
        fillFifo(d);
}

void releaseFifo(Device& d)
{
    if (d.fifo < 0)
        return;
    drainFifo(d);
    ::close(d.fifo);
    d.fifo = -1;
}

} // namespace sim::usbfs
