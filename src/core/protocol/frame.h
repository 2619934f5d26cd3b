#pragma once

#include <QByteArray>

// Command bytes of the get (02) and set (01) classes.
enum SetInfoType : unsigned char
{
    SPEED = 0x00,
    NET_IP_MESSAGE = 0x0D,
    PORT_MESSAGE = 0x0F,
    DENSITY_SETTING = 0x13,
    CONNECT_AP_INFORMATION = 0x26,
    AP_MODE = 0x27,
    IP_MESSAGE = 0x28,
    WIFI_MODE = 0x30,
    SOUND = 0x40,
};

// Command bytes of the status/control class (00).
enum POWER_InFo : unsigned char
{
    SELF_TEST_PAGE = 0x00,
    FIRMWARE_DATE = 0x04,
};

enum FrameClass : unsigned char
{
    StatusClass = 0x00,
    SetClass = 0x01,
    GetClass = 0x02,
};

namespace frame {
constexpr int HeaderSize = 6;
constexpr int EnvelopeSize = 9; // start, class, command, length, end
constexpr int MaxPayload = 255;
} // namespace frame

// 1B FF FE, class, command, N, payload, 1B FE FF. A payload over 255 bytes gives an empty
// frame: its length byte would wrap and the printer would read the rest as the next command.
QByteArray buildFrame(unsigned char frameClass, unsigned char command,
                      const QByteArray& payload = {});
QByteArray buildGetFrame(SetInfoType item);
QByteArray buildStatusFrame(POWER_InFo item);
QByteArray buildSetFrame(SetInfoType item, const QByteArray& payload);

// The data of a reply: byte 5 is its length, the data follows from byte 6. Bytes the printer
// did not send read as zero, so a short reply yields zeros rather than an error.
QByteArray replyData(const unsigned char* reply, int replySize);

// "1B FF FE ..." for logs and test diffs.
QByteArray toHex(const QByteArray& bytes);
