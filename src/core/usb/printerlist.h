#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

struct AttachedPrinter
{
    QByteArray product; // empty when its string could not be read
    int port = 0;       // 0 to 255
    QString text;       // the selector text
};

// Every attached printer of PRINTER_VENDOR_ID that could be opened, in libusb's list order.
QList<AttachedPrinter> listPrinters();

// One selector text per attached printer, in libusb's list order: product string, " USB00", port.
QStringList GetPrinterList();

// The selector text of a printer; its last three characters carry the port number.
QString selectorText(const QByteArray& product, int port);
// The port number read back from the last three characters of a selector text (0 if not a number).
int selectorPort(const QString& text);
