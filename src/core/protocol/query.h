#pragma once

#include "protocol/frame.h"
#include "usb/cdeviceioopera.h"

#include <QByteArray>

// Every query fills all QueryBufferSize bytes of its output with zero, then copies the reply
// data to its start; results are the transport's codes, passed through unchanged.
constexpr int QueryBufferSize = 1024;

// What a query makes of one read: the whole reply to its own class and command is accepted; a
// reply that starts well but answers another command is skipped (a late answer to an earlier
// query); anything else (a wrong start, the payload its length byte announces or the 1B FE FF
// tail not all there) is rejected.
CDeviceIOOpera::ReplyVerdict checkReply(const unsigned char* reply, int length,
                                        std::uint8_t frameClass, std::uint8_t command);

// The queries take a reply only as checkReply accepts it: 4 (BadReply) otherwise.
int GetPrinterInfo(_PrinterHandle* handle, SetInfoType item, unsigned char* out);
int GetPrinterStatusInfo(_PrinterHandle* handle, POWER_InFo item, unsigned char* out);
int SetPrinterStatusButton(_PrinterHandle* handle, POWER_InFo item);

// What sendFrame returns for an empty frame (one the builder refused): nothing was sent.
constexpr int FrameRefused = -2;

// Writes one prebuilt frame with the write-only exchange; the transport's result.
int sendFrame(_PrinterHandle* handle, const QByteArray& frame);
