#pragma once

#include "link/linkquery.h"
#include "protocol/frame.h"
#include "usb/cdeviceioopera.h"

#include <QByteArray>

// The query calls as the windows' members know them: the link queries (link/linkquery.h) over
// the record's USB link, with the transport's int result.
int GetPrinterInfo(_PrinterHandle* handle, SetInfoType item, unsigned char* out);
int GetPrinterStatusInfo(_PrinterHandle* handle, POWER_InFo item, unsigned char* out);
int SetPrinterStatusButton(_PrinterHandle* handle, POWER_InFo item);

// Writes one prebuilt frame with the write-only exchange; the transport's result, FrameRefused
// for an empty frame.
int sendFrame(_PrinterHandle* handle, const QByteArray& frame);
