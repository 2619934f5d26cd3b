#pragma once

#include <QString>

#include <optional>

// Where a printer is: a USB port number, a USB bus path ("1-2.1"), or a host and TCP port on the
// network. Parsed once from what the user wrote; everything after takes it as it is.
struct PrinterAddress
{
    enum class Kind
    {
        UsbPort,
        UsbPath,
        Host,
    };

    // The raw print port of network receipt printers, where they take ESC/POS.
    static constexpr int DefaultTcpPort = 9100;

    Kind kind = Kind::UsbPort;
    int port = 0;    // UsbPort
    QString path;    // UsbPath
    QString host;    // Host: a name, an IPv4 address, or an IPv6 address without brackets
    int tcpPort = 0; // Host

    static PrinterAddress usbPort(int port);
    static PrinterAddress usbPath(const QString& path);
    static PrinterAddress network(const QString& host, int tcpPort = DefaultTcpPort);

    // "ADDRESS", "ADDRESS:PORT", "[IPv6]" or "[IPv6]:PORT"; nothing when it is none of them.
    static std::optional<PrinterAddress> parseHost(const QString& text);

    // "192.168.1.50:9100", "[fe80::1]:9100", "port 1", "1-2.1"
    QString toString() const;

    bool operator==(const PrinterAddress& o) const;
};
