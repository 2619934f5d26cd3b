#pragma once

#include "link/outcome.h"

#include <cstdint>

struct libusb_context;
struct libusb_device;
class PrinterSession;

// Why a lookup or exchange failed (_PrinterHandle::failure): the links' own kinds, so a record's
// reason needs no translation on its way up.
using TransportFailure = Failure;

// Names one printer for the length of one command. Callers provide it zero-filled;
// CDeviceIOOpera::GetPrinterHandle (or PrinterBus::find) fills it and
// CDeviceIOOpera::ClosePrinterHandle releases it.
struct _PrinterHandle
{
    libusb_device* pHandle = nullptr;
    libusb_context* context = nullptr;
    std::int32_t vendorId = 0;
    std::int32_t productId = 0;
    // Set by GetPrinterHandle when more than one printer of the vendor has the port number
    // (the one kept is the later in libusb's list); such a port names no printer for sure.
    bool portShared = false;
    // Set by an exchange after a time-out, a lost device or a write that failed or was cut
    // short: the printer does not answer, or would read the next frame as the rest of the cut
    // one, so every later exchange on this record fails at once (with this failure) and sends
    // nothing.
    TransportFailure lost = TransportFailure::None;
    // Why the last GetPrinterHandle or exchange on this record failed; None after one that
    // succeeded. It travels with the record, so another command's open cannot clear it.
    TransportFailure failure = TransportFailure::None;
    // The first failure since the record was filled, which a later success does not clear: the
    // cause a window names under its message.
    TransportFailure first = TransportFailure::None;
    // The claim that outlasts each exchange, set by PrinterSession::open for one command.
    PrinterSession* session = nullptr;
};

typedef _PrinterHandle* PPrinterHandle;

constexpr int PRINTER_VENDOR_ID = 0x36FC;
