#pragma once

#include "protocol/frame.h"
#include "usb/cdeviceioopera.h"

#include <QByteArray>

// Every query fills all QueryBufferSize bytes of its output with zero, then copies the reply
// data to its start; results are the transport's codes, passed through unchanged.
constexpr int QueryBufferSize = 1024;

// The queries take the first whole reply to their own class and command (scanReply): 4 with
// BadReply for a malformed one, with Timeout when none is whole within the exchange's budget.
int GetPrinterInfo(_PrinterHandle* handle, SetInfoType item, unsigned char* out);
int GetPrinterStatusInfo(_PrinterHandle* handle, POWER_InFo item, unsigned char* out);
int SetPrinterStatusButton(_PrinterHandle* handle, POWER_InFo item);

// What sendFrame returns for an empty frame (one the builder refused): nothing was sent.
constexpr int FrameRefused = -2;

// Writes one prebuilt frame with the write-only exchange; the transport's result.
int sendFrame(_PrinterHandle* handle, const QByteArray& frame);
