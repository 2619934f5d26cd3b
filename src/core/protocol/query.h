#pragma once

#include "protocol/frame.h"
#include "usb/printerhandle.h"

#include <QByteArray>

// Every query fills all QueryBufferSize bytes of its output with zero, then copies the reply
// data to its start; results are the transport's codes, passed through unchanged.
constexpr int QueryBufferSize = 1024;

int GetPrinterInfo(_PrinterHandle* handle, SetInfoType item, unsigned char* out);
int GetPrinterStatusInfo(_PrinterHandle* handle, POWER_InFo item, unsigned char* out);
int SetPrinterStatusButton(_PrinterHandle* handle, POWER_InFo item);

// Writes one prebuilt frame with the write-only exchange; the transport's result.
int sendFrame(_PrinterHandle* handle, const QByteArray& frame);
