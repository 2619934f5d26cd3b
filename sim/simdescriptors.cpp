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

namespace {

QByteArray endpoint(unsigned char address, int type, int maxPacket, int interval)
{
    QByteArray e("\x07\x05", 2);
    e.append(char(address));
    e.append(char(type));
    put16(e, maxPacket);
    e.append(char(interval));
    return e;
}

QByteArray interface(int number, int endpoints, int interfaceClass, int subClass, int protocol,
                     int iInterface)
{
    QByteArray i("\x09\x04", 2);
    for (int b : {number, 0, endpoints, interfaceClass, subClass, protocol, iInterface})
        i.append(char(b));
    return i;
}

} // namespace

QByteArray printerConfiguration(int iInterface, int maxPacket, Composite composite)
{
    QByteArray body;
    if (composite == Composite::HidFirst)
        body = interface(0, 1, 0x03, 0, 0, 0) + endpoint(OtherIn, 0x03, 8, 10);
    else if (composite == Composite::VendorFirst)
        body = interface(0, 1, 0xFF, 0, 0, 0) + endpoint(OtherIn, 0x02, maxPacket, 0);
    body += interface(printerInterface(composite), 2, 0x07, 0x01, 0x02, iInterface) +
            endpoint(BulkOut, 0x02, maxPacket, 0) + endpoint(BulkIn, 0x02, maxPacket, 0);
    QByteArray c("\x09\x02", 2);
    put16(c, 9 + body.size());
    c.append(char(composite == Composite::None ? 1 : 2)); // interfaces
    c.append(char(1));                                    // bConfigurationValue
    c.append(char(0));                                    // iConfiguration
    c.append(char(0xC0));                                 // self-powered
    c.append(char(50));                                   // 100 mA
    return c + body;
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
                       bool node, int speed)
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
    r += "A: speed=" + QByteArray::number(speed) + "\\n\nA: bConfigurationValue=1\\n\n";
    r += "H: descriptors=" + descriptors.toHex().toUpper() + "\n";
    return r;
}

} // namespace sim::usb
