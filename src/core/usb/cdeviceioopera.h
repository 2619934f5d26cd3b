#pragma once

#include "protocol/reply.h"
#include "usb/printerhandle.h"

#include <functional>
#include <memory>

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
// An exchange on a record that has a PrinterSession uses the session's claim instead.
class CDeviceIOOpera
{
public:
    CDeviceIOOpera() = delete;

    static constexpr unsigned int BulkTimeoutMs = 3000;
    static constexpr int ReplySize = 264;

    using ReplyCollector = ::ReplyCollector;

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
    // The interface of the exchanges: the first printer-class interface (alternate setting 0)
    // with a bulk IN and a bulk OUT endpoint, else the first vendor-class one with both; the
    // other interfaces of a composite printer are left alone. 0, or LIBUSB_ERROR_NOT_FOUND when
    // no interface qualifies, or the libusb code of a failed configuration read. The wanted
    // string index is only logged: the class decides.
    static int GetUSBDevEndPoint(libusb_device* dev, int wantedInterfaceString,
                                 int& interfaceNumber, unsigned char& inEndpoint,
                                 unsigned char& outEndpoint);

    // Writes data, then reads one reply into reply (skipped when reply is null): a whole frame
    // of any command, zero-filled to ReplySize. 0 success, 4 no handle/endpoint or a transfer
    // failed, 5 open or claim failed. After a time-out or a lost device the handle is marked
    // lost, and every later exchange on it returns 4 at once without touching USB.
    static int PrinterDataIOSwap(_PrinterHandle* handle, unsigned char* data, int length,
                                 unsigned char* reply, int& replyLength);
    // PrinterDataIOSwap that reads the IN endpoint one packet at a time and gives the bytes to
    // collect until it finds a whole frame, all within one BulkTimeoutMs: empty transfers are
    // read past, bytes before a frame and whole frames it skips are dropped, and so are bytes
    // after the frame. 4 with BadReply when it calls the reply malformed, with Timeout when the
    // budget ends first. A stalled endpoint is cleared and the transfer tried once more; a
    // second stall in the exchange fails it.
    static int PrinterDataIOQuery(_PrinterHandle* handle, unsigned char* data, int length,
                                  unsigned char* reply, int& replyLength,
                                  const ReplyCollector& collect);
    // The exchange behind the two above, with budgets of its own: writes data, then, when
    // collect and answer are given, reads into answer the frame collect finds.
    static int Transfer(_PrinterHandle* handle, QByteArray data, const ReplyCollector* collect,
                        QByteArray* answer, unsigned int writeBudgetMs, unsigned int readBudgetMs);
    // Reads and drops what waits on the IN endpoint until nothing comes within budgetMs.
    static int Drain(_PrinterHandle* handle, unsigned int budgetMs);

    // Writes data and reads nothing; reply and replyLength are left untouched.
    static int PrinterDataIOButton(_PrinterHandle* handle, unsigned char* data, int length,
                                   unsigned char* reply, int& replyLength);

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

struct PrinterClaim;

// Opens a record's printer and claims its interface once for a whole command (a read, then the
// write of what was read): while it lives every exchange on the record uses this claim, and
// another program's claim is refused (Busy), so no other write can fall between the two. The
// release gives the interface back to the kernel driver. A program that can be ended by a signal
// defers the signal while a session lives (rpsetup's SignalDeferral): ending the process while it
// holds the claim would leave the printer without its driver, which the kernel does not bind
// again.
class PrinterSession
{
public:
    PrinterSession();
    ~PrinterSession();
    PrinterSession(const PrinterSession&) = delete;
    PrinterSession& operator=(const PrinterSession&) = delete;

    // The exchanges' results, with the reason in handle->failure; on failure nothing stays open
    // and the record's exchanges claim on their own.
    int open(_PrinterHandle* handle);
    PrinterClaim* claim() const { return m_claim.get(); }

private:
    _PrinterHandle* m_record = nullptr;
    std::unique_ptr<PrinterClaim> m_claim;
};
