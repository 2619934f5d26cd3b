#pragma once

#include <QString>
#include <QStringList>

// One selector text per attached printer, in libusb's list order: product string, " USB00", port.
QStringList GetPrinterList();

// The selector text of a printer; its last three characters carry the port number.
QString selectorText(const QByteArray& product, int port);
// The port number read back from the last three characters of a selector text (0 if not a number).
int selectorPort(const QString& text);
