#pragma once

#include "protocol/address.h"
#include "protocol/rawtext.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>

// Ethernet IP settings (item NET_IP_MESSAGE, 13 bytes): mode, address, mask, gateway.
// Its mode byte is 00 for DHCP on, the opposite sense of the Wi-Fi IP settings.
struct EthernetIp
{
    bool dhcp = true;
    Address ip{};
    Address mask{};
    Address gateway{};
};
constexpr int EthernetIpSize = 13;
QByteArray encodeEthernetIp(const EthernetIp& settings);
// Missing bytes read as zero; any mode byte but 00 means DHCP off.
EthernetIp decodeEthernetIp(const QByteArray& data);

// Ethernet ports (item PORT_MESSAGE, 4 bytes): TCP then UDP, each little-endian.
struct EthernetPorts
{
    std::uint16_t tcp = 0;
    std::uint16_t udp = 0;
};
constexpr int EthernetPortsSize = 4;
QByteArray encodeEthernetPorts(const EthernetPorts& ports);
EthernetPorts decodeEthernetPorts(const QByteArray& data);

// Wi-Fi mode (item WIFI_MODE, 1 byte): 01 station, 02 access point. The value is the wire byte,
// so a byte of neither kind stays what it is and equals neither mode.
enum class WifiMode : std::uint8_t
{
    Station = 0x01,
    AccessPoint = 0x02,
};
std::uint8_t wifiModeValue(WifiMode mode);
// A missing byte reads as 00, a mode of neither kind.
WifiMode decodeWifiMode(const QByteArray& data);

// What stands for a Wi-Fi password wherever it is not shown: in the debug log always, in rpsetup's
// output unless asked for. Its length is not the password's.
constexpr char SecretMask[] = "********";

// Names and passwords are bytes on the wire, usually UTF-8; they are held as rawtext.h's text,
// so a name in another encoding goes back to the printer as it came.

// Station data (item CONNECT_AP_INFORMATION): name 00 password 00, as bytesFromText gives them.
struct StationSettings
{
    QString name;
    QString password;
};
QByteArray encodeStation(const StationSettings& settings);
// Fields end at a zero byte or at the end of the data; missing fields are empty.
StationSettings decodeStation(const QByteArray& data);

// Access-point data (item AP_MODE): name 00 password 00 address 00, the address as dotted text.
struct AccessPointSettings
{
    QString name;
    QString password;
    QString address;
};
QByteArray encodeAccessPoint(const AccessPointSettings& settings);
AccessPointSettings decodeAccessPoint(const QByteArray& data);

// Bytes for the debug log, each as two hex digits, with the password of a station or
// access-point payload (command CONNECT_AP_INFORMATION or AP_MODE) as one SecretMask wherever
// such a payload carries one, even an empty one. bytes is a whole frame, the start of one, or a
// reply's data; its payload starts at payloadAt.
QList<QByteArray> loggedBytes(const QByteArray& bytes, std::uint8_t command, int payloadAt);

// Wi-Fi IP settings (item IP_MESSAGE, 17 bytes): mode, address, gateway, mask, DNS.
// Unlike the Ethernet item the gateway comes before the mask and 00 means DHCP off.
struct WifiIp
{
    bool dhcp = false;
    Address ip{};
    Address gateway{};
    Address mask{};
    Address dns{};
};
constexpr int WifiIpSize = 17;
QByteArray encodeWifiIp(const WifiIp& settings);
WifiIp decodeWifiIp(const QByteArray& data);
