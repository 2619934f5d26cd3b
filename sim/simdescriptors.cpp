#include "simdescriptors.h"

#include <QString>

namespace sim::usb {

namespace {

constexpr int LangEnglishUs = 0x0409;

void put16(QByteArray& out, int value)
{
    out.append(char(value & 0xFF));
    out.append(char((value >> 8) & 0xFF));
}

} // namespace

QByteArray deviceDescriptor(int vendor, int product, int deviceClass, int iProduct)
{
    QByteArray d;
    d.append(char(18));
    d.append(char(0x01));
    put16(d, 0x0200);
    d.append(char(deviceClass));
    d.append(char(0));
    d.append(char(0));
    d.append(char(64));
    put16(d, vendor);
    put16(d, product);
    put16(d, 0x0100);
    d.append(char(0)); // no manufacturer string
    d.append(char(iProduct));
    d.append(char(0)); // no serial number
    d.append(char(1));
    return d;
}

QByteArray printerConfiguration(int iInterface)
{
    QByteArray c;
    c.append("\x09\x02", 2);
    put16(c, 9 + 9 + 7 + 7);
    c.append(char(1));    // interfaces
    c.append(char(1));    // bConfigurationValue
    c.append(char(0));    // iConfiguration
    c.append(char(0xC0)); // self-powered
    c.append(char(50));   // 100 mA
    c.append("\x09\x04\x00\x00\x02\x07\x01\x02", 8);
    c.append(char(iInterface));
    c.append("\x07\x05", 2);
    c.append(char(BulkOut));
    c.append(char(0x02));
    put16(c, 512);
    c.append(char(0));
    c.append("\x07\x05", 2);
    c.append(char(BulkIn));
    c.append(char(0x02));
    put16(c, 512);
    c.append(char(0));
    return c;
}

QByteArray hubConfiguration()
{
    return QByteArray("\x09\x02\x19\x00\x01\x01\x00\xE0\x00"
                      "\x09\x04\x00\x00\x01\x09\x00\x00\x00"
                      "\x07\x05\x81\x03\x02\x00\x0C",
                      25);
}

QByteArray languagesDescriptor()
{
    QByteArray d("\x04\x03", 2);
    put16(d, LangEnglishUs);
    return d;
}

QByteArray stringDescriptor(const QByteArray& text)
{
    QByteArray d;
    const QString s = QString::fromUtf8(text).left(126);
    d.append(char(2 + 2 * s.size()));
    d.append(char(0x03));
    for (QChar ch : s)
        put16(d, ch.unicode());
    return d;
}

QByteArray sysfsRecord(const QByteArray& syspath, int devnum, const QByteArray& descriptors,
                       bool node)
{
    const QByteArray num = QByteArray::number(devnum).rightJustified(3, '0');
    QByteArray r = "P: " + syspath + "\n";
    if (node)
        r += "N: bus/usb/001/" + num + "\n";
    r += "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DRIVER=usb\n";
    r += "E: DEVNAME=/dev/bus/usb/001/" + num + "\n";
    r += "E: BUSNUM=001\nE: DEVNUM=" + num + "\n";
    r += "A: busnum=" + QByteArray::number(BusNumber) + "\\n\n";
    r += "A: devnum=" + QByteArray::number(devnum) + "\\n\n";
    r += "A: speed=480\\n\nA: bConfigurationValue=1\\n\n";
    r += "H: descriptors=" + descriptors.toHex().toUpper() + "\n";
    return r;
}

} // namespace sim::usb
