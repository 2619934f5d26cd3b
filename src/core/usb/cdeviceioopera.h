#pragma once

#include "usb/printerhandle.h"

#include <functional>

class QString;

// What the exchanges and GetPrinterHandle return; their signatures keep int so callers can also
// see a libusb code passed through. Refused input has codes of its own and never uses these.
enum TransportResult : int
{
    TransportOk = 0,
    TransportFailed = 4,     // no handle or endpoint, or a transfer failed
    TransportOpenFailed = 5, // open failed; for the write-only exchange also a failed claim
    TransportNoPrinter = -1, // no printer of the vendor on that port
};

// The only code that moves bytes to and from a printer. Every exchange opens the device,
// claims its interface, transfers, releases and closes again: nothing stays open between commands.
class CDeviceIOOpera
{
public:
    CDeviceIOOpera() = delete;

    static constexpr unsigned int BulkTimeoutMs = 3000;
    static constexpr int ReplySize = 264;

    // What a query makes of the bytes one read brought.
    enum class ReplyVerdict
    {
        Accept,
        Skip,   // a reply to something else (a late answer to an earlier query): read on
        Reject, // not a whole reply: the exchange fails with BadReply
    };
    using ReplyFilter = std::function<ReplyVerdict(const unsigned char* reply, int length)>;

    // The bulk OUT time-out for a frame: 3 s, and 1 s more for every 8 KB (logo downloads).
    static unsigned int writeTimeoutMs(int length);

    // 0 when a printer of PRINTER_VENDOR_ID sits on the port (the last one in list order wins,
    // and portShared tells that there were several), -1 when none does, or the negative libusb
    // code of a failed libusb_init.
    static int GetPrinterHandle(int port, _PrinterHandle* handle);
    // The same for the printer at a bus path as AttachedPrinter::path gives it ("1-2.1").
    static int GetPrinterHandleByPath(const QString& path, _PrinterHandle* handle);
    static int FindPrinterDevOrder(int port, _PrinterHandle* handle, libusb_device** devs,
                                   int count);
    // Releases the device reference and the context that GetPrinterHandle took; null fields are
    // skipped.
    static void ClosePrinterHandle(_PrinterHandle* handle);
    static int GetUSBDevEndPoint(libusb_device* dev, int wantedInterfaceString,
                                 int& interfaceNumber, unsigned char& inEndpoint,
                                 unsigned char& outEndpoint);

    // Writes data, then reads one ReplySize-byte reply into reply (skipped when reply is null).
    // 0 success, 4 no handle/endpoint or a transfer failed, 5 open or claim failed. After a
    // time-out or a lost device the handle is marked lost, and every later exchange on it
    // returns 4 at once without touching USB.
    static int PrinterDataIOSwap(_PrinterHandle* handle, unsigned char* data, int length,
                                 unsigned char* reply, int& replyLength);
    // PrinterDataIOSwap that reads on while the filter skips replies, all within one
    // BulkTimeoutMs; 4 with BadReply when it rejects one.
    static int PrinterDataIOQuery(_PrinterHandle* handle, unsigned char* data, int length,
                                  unsigned char* reply, int& replyLength,
                                  const ReplyFilter& filter);
    // Writes data and reads nothing; reply and replyLength are left untouched.
    static int PrinterDataIOButton(_PrinterHandle* handle, unsigned char* data, int length,
                                   unsigned char* reply, int& replyLength);

    // Why the last GetPrinterHandle, GetPrinterHandleByPath or exchange on this thread failed;
    // None after one that succeeded.
    static TransportFailure lastFailure();

    static int PrinterDeviceIOControl(_PrinterHandle* handle, char* request, int unused,
                                      char* buffer, int& received);
    static int ReadFromControlEndpoint(_PrinterHandle* handle, unsigned char* buffer,
                                       int& received);
};

// Owns a record for the length of one command and releases it on every path out.
class ScopedPrinterHandle
{
public:
    ScopedPrinterHandle() = default;
    ~ScopedPrinterHandle() { CDeviceIOOpera::ClosePrinterHandle(&m_handle); }
    ScopedPrinterHandle(const ScopedPrinterHandle&) = delete;
    ScopedPrinterHandle& operator=(const ScopedPrinterHandle&) = delete;

    int open(int port) { return CDeviceIOOpera::GetPrinterHandle(port, &m_handle); }
    int open(const QString& path)
    {
        return CDeviceIOOpera::GetPrinterHandleByPath(path, &m_handle);
    }
    _PrinterHandle* get() { return &m_handle; }

private:
    _PrinterHandle m_handle;
};
