#include "usb/cdeviceioopera.h"

#include "usb/printerlist.h"

#include <QString>
#include <QtGlobal>

#include <libusb.h>

#include <QElapsedTimer>

#include <cstring>

namespace {

thread_local TransportFailure t_lastFailure = TransportFailure::None;

// Records why a step failed and gives back the exchange's result for it.
int fail(TransportFailure why, int result)
{
    t_lastFailure = why;
    return result;
}

TransportFailure transferFailure(int rc, TransportFailure otherwise)
{
    return rc == LIBUSB_ERROR_TIMEOUT     ? TransportFailure::Timeout
           : rc == LIBUSB_ERROR_NO_DEVICE ? TransportFailure::NoDevice
                                          : otherwise;
}

constexpr int ConfigIndex = 0;
constexpr int WantedInterfaceString = 0;
constexpr std::uint8_t ControlRequestType = 0xC1;

// Finds the endpoints, opens the device and claims its interface: the common start of both
// exchanges. On failure returns the exchange's result and leaves nothing open.
struct Exchange
{
    _PrinterHandle* record = nullptr;
    libusb_device_handle* dev = nullptr;
    int interfaceNumber = 0;
    unsigned char inEndpoint = 0;
    unsigned char outEndpoint = 0;

    int failOpen(TransportFailure otherwise, int rc)
    {
        if (rc == LIBUSB_ERROR_NO_DEVICE)
            record->lost = TransportFailure::NoDevice;
        return fail(rc == LIBUSB_ERROR_NO_DEVICE ? TransportFailure::NoDevice : otherwise,
                    TransportOpenFailed);
    }

    int open(_PrinterHandle* handle)
    {
        t_lastFailure = TransportFailure::None;
        if (!handle || !handle->pHandle) {
            qDebug("printer_handle == NULL or  printer_handle->pHandle == NULL");
            return fail(TransportFailure::NoEndpoint, TransportFailed);
        }
        record = handle;
        if (handle->lost != TransportFailure::None) {
            qDebug("the printer stopped answering earlier in this command: nothing sent");
            return fail(handle->lost, TransportFailed);
        }
        if (CDeviceIOOpera::GetUSBDevEndPoint(handle->pHandle, WantedInterfaceString,
                                              interfaceNumber, inEndpoint, outEndpoint) != 0) {
            qDebug("Get Printer EndPoint falied");
            return fail(TransportFailure::NoEndpoint, TransportFailed);
        }
        const int rc = libusb_open(handle->pHandle, &dev);
        if (rc != 0 || !dev) {
            qDebug("libusb_open fail (code=%d)(msg=%s).", rc, libusb_error_name(rc));
            if (dev)
                libusb_close(dev);
            dev = nullptr;
            return failOpen(rc == LIBUSB_ERROR_ACCESS ? TransportFailure::AccessDenied
                                                      : TransportFailure::OpenFailed,
                            rc);
        }
        // The printer-class kernel driver binds these printers on Linux. libusb takes the
        // interface from it for the claim and gives it back at the release, so the machine's
        // own printer device works again after every exchange. Elsewhere this is unsupported
        // and not needed.
        libusb_set_auto_detach_kernel_driver(dev, 1);
        const int claim = libusb_claim_interface(dev, interfaceNumber);
        if (claim < 0) {
            qDebug("libusb_claim_interface failed.\n");
            qDebug("libusb_claim_interface err is : %s", libusb_strerror(libusb_error(claim)));
            libusb_close(dev);
            dev = nullptr;
            return failOpen(claim == LIBUSB_ERROR_BUSY ? TransportFailure::Busy
                                                       : TransportFailure::ClaimFailed,
                            claim);
        }
        return TransportOk;
    }

    // A printer that let a transfer time out, or went away, is not asked again in this command.
    int failTransfer(int rc, TransportFailure otherwise)
    {
        const TransportFailure why = transferFailure(rc, otherwise);
        if (why == TransportFailure::Timeout || why == TransportFailure::NoDevice)
            record->lost = why;
        return fail(why, TransportFailed);
    }

    int write(unsigned char* data, int length)
    {
        int transferred = 0;
        const int rc = libusb_bulk_transfer(dev, outEndpoint, data, length, &transferred,
                                            CDeviceIOOpera::writeTimeoutMs(length));
        qDebug("libusb_bulk_transfer write: %d %d\n", length, transferred);
        if (rc != 0) {
            qDebug("libusb_bulk_transfer write failed: %s\n", libusb_strerror(libusb_error(rc)));
            return failTransfer(rc, TransportFailure::WriteFailed);
        }
        // A write the device cut short has not delivered the frame.
        return transferred == length ? TransportOk
                                     : fail(TransportFailure::WriteFailed, TransportFailed);
    }

    ~Exchange()
    {
        if (dev) {
            libusb_release_interface(dev, interfaceNumber);
            libusb_close(dev);
        }
    }
};

} // namespace

TransportFailure CDeviceIOOpera::lastFailure()
{
    return t_lastFailure;
}

namespace {

// Fills the record with the device that match() picks from a fresh list on a context of the
// record's own; the context stays alive only on success.
template <typename Match> int findPrinter(_PrinterHandle* handle, Match match)
{
    t_lastFailure = TransportFailure::None;
    const int rc = libusb_init(&handle->context);
    if (rc != 0) {
        qWarning("libusb_init failed: %s", libusb_error_name(rc));
        handle->context = nullptr;
        return fail(TransportFailure::UsbUnavailable, rc);
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
        return fail(TransportFailure::NoPrinter, TransportNoPrinter);
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
    libusb_config_descriptor* config = nullptr;
    const int rc = libusb_get_config_descriptor(dev, ConfigIndex, &config);
    if (rc != 0) {
        qDebug("libusb_get_config_descriptor failed: %s", libusb_strerror(libusb_error(rc)));
        return rc;
    }
    for (int i = 0; i < config->bNumInterfaces; ++i) {
        const libusb_interface& itf = config->interface[i];
        if (itf.num_altsetting < 1)
            continue;
        if (itf.altsetting[0].iInterface != wantedInterfaceString) {
            qDebug("The interface isn`t asked %d %d.", wantedInterfaceString,
                   itf.altsetting[0].iInterface);
            continue;
        }
        for (int a = 0; a < itf.num_altsetting; ++a) {
            const libusb_interface_descriptor& setting = itf.altsetting[a];
            if (setting.iInterface != wantedInterfaceString) {
                qDebug("The interface isn`t asked.");
                continue;
            }
            for (int e = 0; e < setting.bNumEndpoints; ++e) {
                const libusb_endpoint_descriptor& ep = setting.endpoint[e];
                interfaceNumber = setting.bInterfaceNumber;
                if ((ep.bmAttributes & 3) != LIBUSB_TRANSFER_TYPE_BULK)
                    continue;
                if (ep.bEndpointAddress & 0x80)
                    inEndpoint = ep.bEndpointAddress;
                else
                    outEndpoint = ep.bEndpointAddress;
            }
        }
    }
    libusb_free_config_descriptor(config);
    return 0;
}

unsigned int CDeviceIOOpera::writeTimeoutMs(int length)
{
    return BulkTimeoutMs + 1000u * unsigned(qMax(0, length) / 8192);
}

int CDeviceIOOpera::PrinterDataIOSwap(_PrinterHandle* handle, unsigned char* data, int length,
                                      unsigned char* reply, int& replyLength)
{
    return PrinterDataIOQuery(handle, data, length, reply, replyLength, nullptr);
}

int CDeviceIOOpera::PrinterDataIOQuery(_PrinterHandle* handle, unsigned char* data, int length,
                                       unsigned char* reply, int& replyLength,
                                       const ReplyFilter& filter)
{
    unsigned char buffer[ReplySize];

    Exchange ex;
    if (const int rc = ex.open(handle))
        return rc;
    if (const int rc = ex.write(data, length))
        return rc;
    if (!reply)
        return TransportOk;

    QElapsedTimer clock;
    clock.start();
    for (;;) {
        std::memset(buffer, 0, sizeof buffer);
        const qint64 left = qint64(BulkTimeoutMs) - clock.elapsed();
        int received = 0;
        const int rc = left <= 0 ? LIBUSB_ERROR_TIMEOUT
                                 : libusb_bulk_transfer(ex.dev, ex.inEndpoint, buffer, ReplySize,
                                                        &received, unsigned(left));
        if (rc != 0) {
            qDebug("libusb_bulk_transfer read failed: %s\n", libusb_strerror(libusb_error(rc)));
            return ex.failTransfer(rc, TransportFailure::ReadFailed);
        }
        const ReplyVerdict verdict = filter ? filter(buffer, received) : ReplyVerdict::Accept;
        if (verdict == ReplyVerdict::Skip) {
            qDebug("reply to another command discarded");
            continue;
        }
        if (verdict == ReplyVerdict::Reject) {
            qDebug("reply rejected: %d bytes", received);
            return fail(TransportFailure::BadReply, TransportFailed);
        }
        break;
    }
    // Bytes the printer did not send stay zero; the callers rely on that.
    std::memcpy(reply, buffer, ReplySize);
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
    return ex.write(data, length);
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
