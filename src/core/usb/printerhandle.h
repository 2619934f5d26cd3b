#pragma once

#include <cstdint>

struct libusb_context;
struct libusb_device;

// Names one printer for the length of one command. Callers provide it zero-filled;
// CDeviceIOOpera::GetPrinterHandle fills it and CDeviceIOOpera::ClosePrinterHandle releases it.
struct _PrinterHandle
{
    libusb_device* pHandle = nullptr;
    libusb_context* context = nullptr;
    std::int32_t vendorId = 0;
    std::int32_t productId = 0;
};

typedef _PrinterHandle* PPrinterHandle;

constexpr int PRINTER_VENDOR_ID = 0x36FC;
