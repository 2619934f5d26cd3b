#pragma once

#include "simprinter.h"

#include <QJsonObject>
#include <QList>
#include <QString>

namespace sim {

// The JSON shapes the launcher reads (--state) and writes (--record). One document:
//
//   { "printers": [ {
//       "sysfs": "1-2.1",  "port": 1,  "product": "RP80 Printer",
//       "vendor": "0x36fc", "productId": "0x0001", "unplugged": false,
//       "state": {
//         "speed": 1, "density": 1, "alarm": 0,       numbers 0 to 255
//         "wifiMode": 1,                              01 station, 02 access point
//         "firmwareDate": "2023-05-18",               text, one character per byte (Latin-1)
//         "netIp": "01c0a80164ffffff00c0a80101",      payloads as lowercase hex, exactly as a
//         "netPort": "8c235000",                      get reply carries them: Ethernet IP (13
//         "station": "...", "ap": "...",              bytes), ports (4), station and access-point
//         "wifiIp": "...",                            data (texts with zero terminators), Wi-Fi
//         "logos": ["0100010..."]                     IP (17); logos: one image block each
//       },
//       "received": ["1bfffe0200001bfeff", ...],    every bulk OUT transfer taken
//       "networkReceived": ["1b40...", ...],      what each TCP connection sent, as sent
//       "selfTests": 0, "prints": [hex, ...], "downloads": [hex, ...],
//       "clearHalts": 0                             halts the host cleared (stalled endpoints)
//   } ] }
//
// Keys come out sorted and the document is written the same way every time, so two records
// compare as text. A state file may hold only some printers and only some state keys: what is
// missing keeps its value.

QJsonObject stateToJson(const PrinterState& state);
// false with a message naming the key when a value has the wrong type or range.
bool stateFromJson(const QJsonObject& json, PrinterState& state, QString* error);

QJsonObject printerRecord(const SimPrinter& printer);
QByteArray recordDocument(const QList<SimPrinter*>& printers);

} // namespace sim
