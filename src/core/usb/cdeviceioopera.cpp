#include "usb/cdeviceioopera.h"

#include "usb/printerlist.h"

#include <QString>
#include <QtGlobal>

#include <libusb.h>

#include <QElapsedTimer>

#include <cstring>

namespace {

// Only reached for a halt that came back after it was cleared.
TransportFailure transferFailure(int rc, TransportFailure otherwise)
{
    return rc == LIBUSB_ERROR_TIMEOUT     ? TransportFailure::Timeout
           : rc == LIBUSB_ERROR_NO_DEVICE ? TransportFailure::Gone
           : rc == LIBUSB_ERROR_PIPE      ? TransportFailure::Stalled
                                          : otherwise;
}

// A printer that let a transfer time out, went away or kept its endpoint halted is not asked
// again in the command: it would meet the next frame as the rest of the last one.
bool endsCommand(TransportFailure why)
{
    return why == TransportFailure::Timeout || why == TransportFailure::Gone ||
           why == TransportFailure::Stalled;
}

void noteFailure(_PrinterHandle* handle, TransportFailure why)
{
    handle->failure = why;
    if (handle->first == TransportFailure::None)
        handle->first = why;
}

constexpr int ConfigIndex = 0;
constexpr int WantedInterfaceString = 0;
constexpr std::uint8_t ControlRequestType = 0xC1;
// Full speed's bulk packet size, for a descriptor that gives none.
constexpr int FallbackPacketSize = 64;

struct Endpoints
{
    int interfaceNumber = 0;
    unsigned char in = 0;
    unsigned char out = 0;
    int inPacketSize = 0;
};

// The first bulk IN and the first bulk OUT endpoint of an interface's setting.
Endpoints bulkPair(const libusb_interface_descriptor& setting)
{
    Endpoints e;
    e.interfaceNumber = setting.bInterfaceNumber;
    for (int k = 0; k < setting.bNumEndpoints; ++k) {
        const libusb_endpoint_descriptor& ep = setting.endpoint[k];
        if ((ep.bmAttributes & 3) != LIBUSB_TRANSFER_TYPE_BULK)
            continue;
        if ((ep.bEndpointAddress & 0x80) && !e.in) {
            e.in = ep.bEndpointAddress;
            e.inPacketSize = ep.wMaxPacketSize & 0x7FF;
        } else if (!(ep.bEndpointAddress & 0x80) && !e.out) {
            e.out = ep.bEndpointAddress;
        }
    }
    return e;
}

// A composite printer has other interfaces (HID buttons, a vendor channel) beside the printer
// one; claiming one interface and using another's endpoints fails, so both come from one.
bool pickInterface(const libusb_config_descriptor* config, int wanted, Endpoints& found)
{
    for (const int wantedClass : {LIBUSB_CLASS_PRINTER, LIBUSB_CLASS_VENDOR_SPEC}) {
        for (int i = 0; i < config->bNumInterfaces; ++i) {
            const libusb_interface& itf = config->interface[i];
            if (itf.num_altsetting < 1 || itf.altsetting[0].bInterfaceClass != wantedClass)
                continue;
            const Endpoints e = bulkPair(itf.altsetting[0]);
            if (e.in && e.out) {
                found = e;
                return true;
            }
            qDebug("The interface isn`t asked %d %d.", wanted, itf.altsetting[0].iInterface);
        }
    }
    return false;
}

int findEndpoints(libusb_device* dev, int wanted, Endpoints& found)
{
    libusb_config_descriptor* config = nullptr;
    const int rc = libusb_get_config_descriptor(dev, ConfigIndex, &config);
    if (rc != 0) {
        qDebug("libusb_get_config_descriptor failed: %s", libusb_strerror(libusb_error(rc)));
        return rc;
    }
    const bool ok = pickInterface(config, wanted, found);
    libusb_free_config_descriptor(config);
    if (!ok)
        qDebug("The interface isn`t asked.");
    return ok ? 0 : int(LIBUSB_ERROR_NOT_FOUND);
}

} // namespace

// The device open and its printer interface claimed: held by one exchange, or by a
// PrinterSession for a whole command.
struct PrinterClaim
{
    libusb_device_handle* dev = nullptr;
    Endpoints ep;

    // Finds the endpoints, opens the device and claims its interface. TransportOk, or the
    // exchange's result with why set, and nothing left open.
    int take(libusb_device* device, TransportFailure& why)
    {
        if (findEndpoints(device, WantedInterfaceString, ep) != 0) {
            qDebug("Get Printer EndPoint falied");
            why = TransportFailure::NoEndpoint;
            return TransportFailed;
        }
        int rc = libusb_open(device, &dev);
        if (rc != 0 || !dev) {
            qDebug("libusb_open fail (code=%d)(msg=%s).", rc, libusb_error_name(rc));
            if (dev)
                libusb_close(dev);
            dev = nullptr;
            why = rc == LIBUSB_ERROR_NO_DEVICE ? TransportFailure::Gone
                  : rc == LIBUSB_ERROR_ACCESS  ? TransportFailure::AccessDenied
                                               : TransportFailure::OpenFailed;
            return TransportOpenFailed;
        }
        // The printer-class kernel driver binds these printers on Linux. libusb takes the
        // interface from it for the claim and gives it back at the release, so the machine's
        // own printer device works again after every exchange. Elsewhere this is unsupported
        // and not needed.
        libusb_set_auto_detach_kernel_driver(dev, 1);
        rc = libusb_claim_interface(dev, ep.interfaceNumber);
        if (rc < 0) {
            qDebug("libusb_claim_interface failed.\n");
            qDebug("libusb_claim_interface err is : %s", libusb_strerror(libusb_error(rc)));
            why = rc == LIBUSB_ERROR_NO_DEVICE ? TransportFailure::Gone
                  : rc != LIBUSB_ERROR_BUSY    ? TransportFailure::ClaimFailed
                  // Where auto-detach is unsupported or refused, the driver still holds it.
                  : libusb_kernel_driver_active(dev, ep.interfaceNumber) == 1
                      ? TransportFailure::DriverNotDetached
                      : TransportFailure::InUse;
            libusb_close(dev);
            dev = nullptr;
            return TransportOpenFailed;
        }
        return TransportOk;
    }

    ~PrinterClaim()
    {
        if (dev) {
            libusb_release_interface(dev, ep.interfaceNumber);
            libusb_close(dev);
        }
    }
};

namespace {

// One write and its reply, on the record's session when it has one, else on a claim of its own
// that ends with it. Every result is recorded in the record with its reason.
struct Exchange
{
    _PrinterHandle* handle = nullptr;
    PrinterClaim own;
    PrinterClaim* claim = &own;
    int stalls = 0;

    int fail(TransportFailure why, int result)
    {
        if (handle)
            noteFailure(handle, why);
        return result;
    }

    int open(_PrinterHandle* record)
    {
        handle = record;
        if (!handle || !handle->pHandle) {
            qDebug("printer_handle == NULL or  printer_handle->pHandle == NULL");
            return fail(TransportFailure::NoEndpoint, TransportFailed);
        }
        handle->failure = TransportFailure::None;
        if (handle->lost != TransportFailure::None) {
            qDebug("the printer stopped answering earlier in this command: nothing sent");
            return fail(handle->lost, TransportFailed);
        }
        if (PrinterClaim* held = handle->session ? handle->session->claim() : nullptr) {
            claim = held;
            return TransportOk;
        }
        TransportFailure why = TransportFailure::None;
        const int rc = own.take(handle->pHandle, why);
        if (why == TransportFailure::Gone)
            handle->lost = why;
        return rc ? fail(why, rc) : TransportOk;
    }

    int failTransfer(int rc, TransportFailure otherwise)
    {
        const TransportFailure why = transferFailure(rc, otherwise);
        if (endsCommand(why))
            handle->lost = why;
        return fail(why, TransportFailed);
    }

    // One bulk transfer within budgetMs of the clock. A halted endpoint is cleared and the rest
    // tried once more in the exchange. A stalled OUT transfer delivered only what it counts, so
    // sending the rest again never delivers a byte twice; nothing goes again after a time-out
    // or an I/O error, whose bytes may have arrived.
    int bulk(unsigned char endpoint, unsigned char* buffer, int length, int& done,
             const QElapsedTimer& clock, qint64 budgetMs)
    {
        done = 0;
        for (;;) {
            const qint64 left = budgetMs - clock.elapsed();
            if (left <= 0)
                return LIBUSB_ERROR_TIMEOUT;
            int n = 0;
            const int rc = libusb_bulk_transfer(claim->dev, endpoint, buffer + done, length - done,
                                                &n, unsigned(left));
            done += n;
            if (rc != LIBUSB_ERROR_PIPE || stalls++ > 0)
                return rc;
            qDebug("endpoint %02X halted: clearing the halt", unsigned(endpoint));
            libusb_clear_halt(claim->dev, endpoint);
        }
    }

    int write(unsigned char* data, int length, qint64 budgetMs)
    {
        QElapsedTimer clock;
        clock.start();
        int transferred = 0;
        const int rc = bulk(claim->ep.out, data, length, transferred, clock, budgetMs);
        qDebug("libusb_bulk_transfer write: %d %d\n", length, transferred);
        if (rc == 0 && transferred == length)
            return TransportOk;
        if (rc != 0)
            qDebug("libusb_bulk_transfer write failed: %s\n", libusb_strerror(libusb_error(rc)));
        // The printer reads its OUT endpoint as one stream and would take the next frame for the
        // rest of one cut short, or of one whose bytes a failed transfer may have delivered in
        // part: nothing more goes to it in this command.
        const int result = rc != 0 ? failTransfer(rc, TransportFailure::WriteFailed)
                                   : fail(TransportFailure::WriteFailed, TransportFailed);
        handle->lost = handle->failure;
        return result;
    }

    int read(const CDeviceIOOpera::ReplyCollector& collect, QByteArray& frame, qint64 budgetMs,
             bool draining = false);
    int drain(qint64 budgetMs);
};

// Transfers of exactly one packet: a full packet ends the transfer at once rather than waiting
// for more until the time-out, and no packet can overflow the buffer.
int Exchange::read(const CDeviceIOOpera::ReplyCollector& collect, QByteArray& frame,
                   qint64 budgetMs, bool draining)
{
    const int packetSize = claim->ep.inPacketSize > 0 ? claim->ep.inPacketSize : FallbackPacketSize;
    QByteArray packet(packetSize, '\0');
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        int received = 0;
        const int rc = bulk(claim->ep.in, reinterpret_cast<unsigned char*>(packet.data()),
                            packetSize, received, clock, budgetMs);
        frame.append(packet.constData(), received);
        // A frame that is whole counts, even when the transfer that completed it timed out.
        const ReplyScan::Kind kind = settleReply(collect, frame);
        if (kind == ReplyScan::Frame)
            return TransportOk;
        if (kind == ReplyScan::Malformed) {
            qDebug("reply rejected: %d bytes", int(frame.size()));
            return fail(TransportFailure::MalformedReply, TransportFailed);
        }
        if (draining && rc == LIBUSB_ERROR_TIMEOUT)
            return TransportOk;
        if (rc != 0) {
            qDebug("libusb_bulk_transfer read failed: %s\n", libusb_strerror(libusb_error(rc)));
            return failTransfer(rc, TransportFailure::ReadFailed);
        }
    }
}

// Reads and drops packets until none comes within the budget: the time-out that ends it is
// what a drain looks for, no failure.
int Exchange::drain(qint64 budgetMs)
{
    QByteArray dropped;
    const auto dropAll = [](const unsigned char*, int n) {
        return n > 0 ? ReplyScan{ReplyScan::Skip, n} : ReplyScan{ReplyScan::NeedMore, 0};
    };
    return read(dropAll, dropped, budgetMs, true);
}

// Fills the record with the device that match() picks from a fresh list on a context of the
// record's own; the context stays alive only on success.
template <typename Match> int findPrinter(_PrinterHandle* handle, Match match)
{
    handle->failure = TransportFailure::None;
    const int rc = libusb_init(&handle->context);
    if (rc != 0) {
        qWarning("libusb_init failed: %s", libusb_error_name(rc));
        handle->context = nullptr;
        noteFailure(handle, TransportFailure::UsbUnavailable);
        return rc;
    }
    libusb_device** devs = nullptr;
    const ssize_t count = libusb_get_device_list(handle->context, &devs);
    int result = TransportNoPrinter;
    if (count > 0)
        result = match(devs, int(count));
    if (devs)
        libusb_free_device_list(devs, 1);
    if (result != 0) {
        // Cleared so that ClosePrinterHandle does not end the context a second time.
        libusb_exit(handle->context);
        handle->context = nullptr;
        noteFailure(handle, TransportFailure::NoPrinter);
        return TransportNoPrinter;
    }
    return TransportOk;
}

void keep(_PrinterHandle* handle, libusb_device* device, const libusb_device_descriptor& desc)
{
    handle->pHandle = libusb_ref_device(device);
    handle->vendorId = desc.idVendor;
    handle->productId = desc.idProduct;
}

} // namespace

int CDeviceIOOpera::GetPrinterHandle(int port, _PrinterHandle* handle)
{
    return findPrinter(handle, [&](libusb_device** devs, int count) {
        return FindPrinterDevOrder(port, handle, devs, count);
    });
}

int CDeviceIOOpera::GetPrinterHandleByPath(const QString& path, _PrinterHandle* handle)
{
    return findPrinter(handle, [&](libusb_device** devs, int count) {
        for (int i = 0; i < count && devs[i]; ++i) {
            libusb_device_descriptor desc;
            if (libusb_get_device_descriptor(devs[i], &desc) == 0 &&
                desc.idVendor == PRINTER_VENDOR_ID && busPath(devs[i]) == path) {
                keep(handle, devs[i], desc);
                return TransportOk;
            }
        }
        return TransportNoPrinter;
    });
}

int CDeviceIOOpera::FindPrinterDevOrder(int port, _PrinterHandle* handle, libusb_device** devs,
                                        int count)
{
    if (!handle || !devs || count < 1)
        return TransportNoPrinter;
    int matches = 0;
    for (int i = 0; i < count && devs[i]; ++i) {
        libusb_device_descriptor desc;
        if (libusb_get_device_descriptor(devs[i], &desc) != 0) {
            qDebug("Get Device Descriptor Failed");
            continue;
        }
        if (desc.idVendor != PRINTER_VENDOR_ID)
            continue;
        if (int(std::uint8_t(libusb_get_port_number(devs[i]))) != port)
            continue;
        // Two printers on equal port numbers behind two hubs: the later one is kept, and the
        // reference taken for the earlier one is given back.
        if (matches++)
            libusb_unref_device(handle->pHandle);
        keep(handle, devs[i], desc);
    }
    handle->portShared = matches > 1;
    return matches ? TransportOk : TransportNoPrinter;
}

void CDeviceIOOpera::ClosePrinterHandle(_PrinterHandle* handle)
{
    if (!handle)
        return;
    if (handle->pHandle)
        libusb_unref_device(handle->pHandle);
    if (handle->context)
        libusb_exit(handle->context);
}

int CDeviceIOOpera::GetUSBDevEndPoint(libusb_device* dev, int wantedInterfaceString,
                                      int& interfaceNumber, unsigned char& inEndpoint,
                                      unsigned char& outEndpoint)
{
    Endpoints found;
    const int rc = findEndpoints(dev, wantedInterfaceString, found);
    if (rc == 0) {
        interfaceNumber = found.interfaceNumber;
        inEndpoint = found.in;
        outEndpoint = found.out;
    }
    return rc;
}

unsigned int CDeviceIOOpera::writeTimeoutMs(int length)
{
    return BulkTimeoutMs + 1000u * unsigned(qMax(0, length) / 8192);
}

int CDeviceIOOpera::PrinterDataIOSwap(_PrinterHandle* handle, unsigned char* data, int length,
                                      unsigned char* reply, int& replyLength)
{
    return PrinterDataIOQuery(handle, data, length, reply, replyLength,
                              [](const unsigned char* bytes, int n) {
                                  return scanReply(bytes, n, AnyCommand, AnyCommand);
                              });
}

int CDeviceIOOpera::Transfer(_PrinterHandle* handle, QByteArray data, const ReplyCollector* collect,
                             QByteArray* answer, unsigned int writeBudgetMs,
                             unsigned int readBudgetMs)
{
    Exchange ex;
    if (const int rc = ex.open(handle))
        return rc;
    if (const int rc = ex.write(reinterpret_cast<unsigned char*>(data.data()), int(data.size()),
                                qint64(writeBudgetMs)))
        return rc;
    return collect && answer ? ex.read(*collect, *answer, qint64(readBudgetMs)) : int(TransportOk);
}

int CDeviceIOOpera::Drain(_PrinterHandle* handle, unsigned int budgetMs)
{
    Exchange ex;
    if (const int rc = ex.open(handle))
        return rc;
    return ex.drain(qint64(budgetMs));
}

int CDeviceIOOpera::PrinterDataIOQuery(_PrinterHandle* handle, unsigned char* data, int length,
                                       unsigned char* reply, int& replyLength,
                                       const ReplyCollector& collect)
{
    QByteArray frame;
    const int rc =
        Transfer(handle, QByteArray(reinterpret_cast<const char*>(data), length),
                 reply ? &collect : nullptr, &frame, writeTimeoutMs(length), BulkTimeoutMs);
    if (rc != 0 || !reply)
        return rc;
    // Bytes the printer did not send stay zero; the callers rely on that.
    std::memset(reply, 0, ReplySize);
    std::memcpy(reply, frame.constData(), size_t(qMin(int(frame.size()), ReplySize)));
    replyLength = ReplySize;
    return TransportOk;
}

int CDeviceIOOpera::PrinterDataIOButton(_PrinterHandle* handle, unsigned char* data, int length,
                                        unsigned char* reply, int& replyLength)
{
    Q_UNUSED(reply);
    Q_UNUSED(replyLength);
    Exchange ex;
    if (const int rc = ex.open(handle))
        return rc;
    return ex.write(data, length, qint64(writeTimeoutMs(length)));
}

int CDeviceIOOpera::PrinterDeviceIOControl(_PrinterHandle* handle, char* request, int unused,
                                           char* buffer, int& received)
{
    Q_UNUSED(unused);
    if (!handle || !handle->pHandle)
        return -1;
    libusb_device_handle* dev = nullptr;
    if (libusb_open(handle->pHandle, &dev) != 0 || !dev) {
        if (dev)
            libusb_close(dev);
        return -1;
    }
    const auto* q = reinterpret_cast<const unsigned char*>(request);
    const std::uint8_t bRequest = q[0];
    const std::uint16_t wValue = std::uint16_t(q[1] | (q[2] << 8));
    const std::uint16_t wIndex = std::uint16_t(q[3] | (q[4] << 8));
    auto transfer = [&] {
        return libusb_control_transfer(dev, ControlRequestType, bRequest, wValue, wIndex,
                                       reinterpret_cast<unsigned char*>(buffer), 255, 2000);
    };
    // The first and last attempts accept an empty answer, the two in between want data.
    int rc = transfer();
    for (int attempt = 2; rc < 0 && attempt <= 4; ++attempt) {
        rc = transfer();
        if (rc == 0 && (attempt == 2 || attempt == 3))
            rc = -1;
    }
    libusb_close(dev);
    if (rc < 0)
        return -1;
    received = rc;
    return 0;
}

int CDeviceIOOpera::ReadFromControlEndpoint(_PrinterHandle* handle, unsigned char* buffer,
                                            int& received)
{
    if (!handle || !handle->pHandle) {
        qDebug("Invalid printer handle");
        return -1;
    }
    libusb_device_handle* dev = nullptr;
    const int rc = libusb_open(handle->pHandle, &dev);
    if (rc != 0) {
        qDebug("libusb_open fail (code=%d)(msg=%s)", rc, libusb_error_name(rc));
        return rc;
    }
    libusb_kernel_driver_active(dev, 0);
    const int n = libusb_control_transfer(dev, ControlRequestType, 0xFF, 0, 0, buffer, 4, 5000);
    if (n < 0) {
        qDebug("Control transfer failed: %s", libusb_error_name(n));
        libusb_close(dev);
        return n;
    }
    received = n;
    libusb_close(dev);
    return 0;
}

PrinterSession::PrinterSession() = default;

int PrinterSession::open(_PrinterHandle* handle)
{
    if (!handle || !handle->pHandle) {
        if (handle)
            handle->failure = TransportFailure::NoEndpoint;
        return TransportFailed;
    }
    auto claimed = std::make_unique<PrinterClaim>();
    TransportFailure why = TransportFailure::None;
    const int rc = claimed->take(handle->pHandle, why);
    handle->failure = why;
    if (rc != TransportOk)
        noteFailure(handle, why);
    if (rc != TransportOk) {
        if (why == TransportFailure::Gone)
            handle->lost = why;
        return rc;
    }
    m_claim = std::move(claimed);
    m_record = handle;
    handle->session = this;
    return TransportOk;
}

PrinterSession::~PrinterSession()
{
    if (m_record)
        m_record->session = nullptr;
    m_claim.reset();
}
