#pragma once

#include "protocol/address.h"
#include "settings/printersettings.h"
#include "usb/printerhandle.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

class QWidget;

// The steps every button of the settings windows shares: refuse bad input with its message and
// send nothing; find the printer on the window's port with a fresh record (kept in current for
// the run); run the operation under the wait cursor; report "成功" for 0, else "打印机连接断开".
// False when it stopped before the operation ran (bad input, or no printer on the port).
bool runSettingsCommand(QWidget* window, int port, PPrinterHandle& current, SettingsError input,
                        const std::function<int(PPrinterHandle)>& operation);

// A port number that more than one attached printer has names none of them: true after saying so.
bool refuseSharedPort(QWidget* window, int port);

// Reads one item into settings with the read rpsetup uses; the transport's result.
int readInto(PPrinterHandle handle, SettingsItem item, PrinterSettings& settings);
// Writes one item of settings with the frame and write rpsetup uses, after log has seen the
// frame; the transport's result.
int writeItem(PPrinterHandle handle, const PrinterSettings& settings, SettingsItem item,
              const std::function<void(const QByteArray&)>& log);

// Logs each part of an address field of a set frame with the value it gives.
void logAddressParts(const QString& text);
// One log line per frame byte, the record of what a set frame carried; a Wi-Fi password is one
// line of its mask.
void logFrameBytes(const QByteArray& frame);
