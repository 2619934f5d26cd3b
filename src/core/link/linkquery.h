#pragma once

#include "link/printerlink.h"
#include "protocol/frame.h"

#include <QByteArray>

// Every query fills all QueryBufferSize bytes of its output with zero, then copies the reply
// data to its start.
constexpr int QueryBufferSize = 1024;

// What sendFrame's int adapter returns for an empty frame (one the builder refused): nothing
// was sent.
constexpr int FrameRefused = -2;

// The command-frame queries on any link. Each takes the first whole reply to its own class and
// command (scanReply): MalformedReply for a malformed one, Timeout when none is whole in time.
Outcome queryPrinterInfo(PrinterLink& link, SetInfoType item, unsigned char* out);
Outcome queryPrinterStatusInfo(PrinterLink& link, POWER_InFo item, unsigned char* out);
Outcome sendStatusButton(PrinterLink& link, POWER_InFo item);
// Writes one prebuilt frame and reads nothing; Refused for an empty frame.
Outcome sendFrame(PrinterLink& link, const QByteArray& frame);
