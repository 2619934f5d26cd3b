#include "usb/query.h"

#include "usb/usblink.h"

int GetPrinterInfo(_PrinterHandle* handle, SetInfoType item, unsigned char* out)
{
    UsbLink link(handle);
    return queryPrinterInfo(link, item, out).code;
}

int GetPrinterStatusInfo(_PrinterHandle* handle, POWER_InFo item, unsigned char* out)
{
    UsbLink link(handle);
    return queryPrinterStatusInfo(link, item, out).code;
}

int SetPrinterStatusButton(_PrinterHandle* handle, POWER_InFo item)
{
    UsbLink link(handle);
    return sendStatusButton(link, item).code;
}

int sendFrame(_PrinterHandle* handle, const QByteArray& frame)
{
    UsbLink link(handle);
    return sendFrame(link, frame).code;
}
