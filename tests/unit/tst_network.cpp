#include "protocol/frame.h"
#include "protocol/network.h"

#include <QtTest>

namespace {
QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}
Address addr(const char* text)
{
    return *parseAddress(QString::fromLatin1(text));
}

EthernetIp ethernetIp(bool dhcp)
{
    EthernetIp settings;
    settings.dhcp = dhcp;
    settings.ip = addr("192.168.1.100");
    settings.mask = addr("255.255.255.0");
    settings.gateway = addr("192.168.1.1");
    return settings;
}

WifiIp wifiIp(bool dhcp)
{
    WifiIp settings;
    settings.dhcp = dhcp;
    settings.ip = addr("192.168.1.50");
    settings.gateway = addr("192.168.1.1");
    settings.mask = addr("255.255.255.0");
    settings.dns = addr("192.168.1.2");
    return settings;
}

#define COMPARE_BYTES(actual, expected)                                                            \
    QVERIFY2((actual) == (expected),                                                               \
             qPrintable("expected " + toHex(expected) + "\n   actual " + toHex(actual)))
} // namespace

class TestNetwork : public QObject
{
    Q_OBJECT

private slots:
    // The printer's own examples, byte for byte, as the windows send them.
    void frames_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("ethernet ip, DHCP off")
            << buildSetFrame(NET_IP_MESSAGE, encodeEthernetIp(ethernetIp(false)))
            << hex("1BFFFE010D0D01 C0A80164 FFFFFF00 C0A80101 1BFEFF");
        QTest::newRow("ethernet ip, DHCP on sends 00")
            << buildSetFrame(NET_IP_MESSAGE, encodeEthernetIp(ethernetIp(true)))
            << hex("1BFFFE010D0D00 C0A80164 FFFFFF00 C0A80101 1BFEFF");
        QTest::newRow("ethernet ports 9100/9100")
            << buildSetFrame(PORT_MESSAGE, encodeEthernetPorts({9100, 9100}))
            << hex("1BFFFE010F04 8C238C23 1BFEFF");
        QTest::newRow("ethernet ports 65535/1")
            << buildSetFrame(PORT_MESSAGE, encodeEthernetPorts({65535, 1}))
            << hex("1BFFFE010F04 FFFF0100 1BFEFF");
        QTest::newRow("wifi ip, DHCP off, gateway before mask")
            << buildSetFrame(IP_MESSAGE, encodeWifiIp(wifiIp(false)))
            << hex("1BFFFE012811 00 C0A80132 C0A80101 FFFFFF00 C0A80102 1BFEFF");
        QTest::newRow("wifi ip, DHCP on sends 01")
            << buildSetFrame(IP_MESSAGE, encodeWifiIp(wifiIp(true)))
            << hex("1BFFFE012811 01 C0A80132 C0A80101 FFFFFF00 C0A80102 1BFEFF");
        QTest::newRow("station mode")
            << buildSetFrame(WIFI_MODE, QByteArray(1, char(wifiModeValue(WifiMode::Station))))
            << hex("1BFFFE01300101 1BFEFF");
        QTest::newRow("access-point mode")
            << buildSetFrame(WIFI_MODE, QByteArray(1, char(wifiModeValue(WifiMode::AccessPoint))))
            << hex("1BFFFE01300102 1BFEFF");
        QTest::newRow("station abc with eight-byte password")
            << buildSetFrame(CONNECT_AP_INFORMATION, encodeStation({"abc", "12345678"}))
            << hex("1BFFFE01260D 61626300 313233343536373800 1BFEFF");
        QTest::newRow("station with both fields empty")
            << buildSetFrame(CONNECT_AP_INFORMATION, encodeStation({}))
            << hex("1BFFFE012602 0000 1BFEFF");
        QTest::newRow("access point abc, open, 192.168.4.1")
            << buildSetFrame(AP_MODE, encodeAccessPoint({"abc", "", "192.168.4.1"}))
            << hex("1BFFFE012711 61626300 00 3139322E3136382E342E3100 1BFEFF");
    }

    void frames()
    {
        QFETCH(QByteArray, frame);
        QFETCH(QByteArray, expected);
        COMPARE_BYTES(frame, expected);
    }

    void utf8Names()
    {
        const StationSettings station{QString::fromUtf8("咖啡店"), "12345678"};
        const QByteArray data = encodeStation(station);
        COMPARE_BYTES(data.left(10), hex("E59296E595A1E5BA9700"));
        const StationSettings back = decodeStation(data);
        QCOMPARE(back.name, station.name);
        QCOMPARE(back.password, station.password);
    }

    void decodeEthernetIp_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("dhcp");
        QTest::addColumn<QString>("ip");
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QString>("gateway");
        QTest::newRow("00 is DHCP on")
            << hex("00C0A80164FFFFFF00C0A80101") << true << "192.168.1.100"
            << "255.255.255.0"
            << "192.168.1.1";
        QTest::newRow("01 is DHCP off")
            << hex("01C0A80164FFFFFF00C0A80101") << false << "192.168.1.100"
            << "255.255.255.0"
            << "192.168.1.1";
        QTest::newRow("02 is DHCP off too") << hex("020A000001") << false << "10.0.0.1"
                                            << "0.0.0.0"
                                            << "0.0.0.0";
        QTest::newRow("nothing at all") << QByteArray() << true << "0.0.0.0"
                                        << "0.0.0.0"
                                        << "0.0.0.0";
    }

    void decodeEthernetIp()
    {
        QFETCH(QByteArray, data);
        const EthernetIp settings = ::decodeEthernetIp(data);
        QTEST(settings.dhcp, "dhcp");
        QTEST(formatAddress(settings.ip), "ip");
        QTEST(formatAddress(settings.mask), "mask");
        QTEST(formatAddress(settings.gateway), "gateway");
    }

    void decodePorts_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("tcp");
        QTest::addColumn<int>("udp");
        QTest::newRow("little-endian") << hex("8C235000") << 9100 << 80;
        QTest::newRow("highest") << hex("FFFFFFFF") << 65535 << 65535;
        QTest::newRow("short reply") << hex("8C") << 140 << 0;
    }

    void decodePorts()
    {
        QFETCH(QByteArray, data);
        const EthernetPorts ports = decodeEthernetPorts(data);
        QTEST(int(ports.tcp), "tcp");
        QTEST(int(ports.udp), "udp");
    }

    void decodeWifiMode_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("station");
        QTest::newRow("01 station") << hex("01") << true;
        QTest::newRow("02 access point") << hex("02") << false;
        QTest::newRow("00 access point") << hex("00") << false;
        QTest::newRow("FF access point") << hex("FF") << false;
        QTest::newRow("no data access point") << QByteArray() << false;
    }

    void decodeWifiMode()
    {
        QFETCH(QByteArray, data);
        QTEST(::decodeWifiMode(data) == WifiMode::Station, "station");
    }

    void decodeTerminated_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QStringList>("station");
        QTest::addColumn<QStringList>("accessPoint");
        const QByteArray zeros(1024 - 20, '\0');
        QTest::newRow("name only, zero-filled buffer")
            << hex("6E657400") + zeros << QStringList{"net", ""} << QStringList{"net", "", ""};
        QTest::newRow("all fields")
            << hex("6E657400 7061737331323334 00 31302E302E302E31 00") + zeros
            << QStringList{"net", "pass1234"} << QStringList{"net", "pass1234", "10.0.0.1"};
        QTest::newRow("unterminated last field")
            << hex("6E6574") << QStringList{"net", ""} << QStringList{"net", "", ""};
        QTest::newRow("open network")
            << hex("6162630000") + zeros << QStringList{"abc", ""} << QStringList{"abc", "", ""};
        QTest::newRow("empty") << QByteArray() << QStringList{"", ""} << QStringList{"", "", ""};
    }

    void decodeTerminated()
    {
        QFETCH(QByteArray, data);
        const StationSettings station = decodeStation(data);
        const AccessPointSettings ap = decodeAccessPoint(data);
        QTEST((QStringList{station.name, station.password}), "station");
        QTEST((QStringList{ap.name, ap.password, ap.address}), "accessPoint");
    }

    void credentials_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("error");
        const int ok = int(SettingsError::None);
        const int longName = int(SettingsError::NameTooLong);
        const int badPassword = int(SettingsError::PasswordLength);
        QTest::newRow("open network") << "abc"
                                      << "" << ok;
        QTest::newRow("empty name") << ""
                                    << "" << ok;
        QTest::newRow("shortest password") << "abc" << QString(8, 'p') << ok;
        QTest::newRow("longest password") << "abc" << QString(63, 'p') << ok;
        QTest::newRow("longest name") << QString(32, 'n') << "" << ok;
        QTest::newRow("seven-byte password") << "abc" << QString(7, 'p') << badPassword;
        QTest::newRow("64-byte password") << "abc" << QString(64, 'p') << badPassword;
        QTest::newRow("33-byte name") << QString(33, 'n') << "" << longName;
        // Counted in UTF-8 bytes: eleven three-byte characters are 33 bytes.
        QTest::newRow("11 CJK characters") << QString(11, QChar(0x7F51)) << "" << longName;
        QTest::newRow("3 CJK characters password") << "abc" << QString(3, QChar(0x7F51)) << ok;
        QTest::newRow("2 CJK characters password")
            << "abc" << QString(2, QChar(0x7F51)) << badPassword;
    }

    void credentials()
    {
        QFETCH(QString, name);
        QFETCH(QString, password);
        QTEST(int(checkWifiCredentials(name, password)), "error");
    }

    void decodeWifiIp_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("dhcp");
        const QByteArray block = hex("C0A80132 C0A80101 FFFFFF00 C0A80102");
        QTest::newRow("00 is DHCP off") << hex("00") + block << false;
        QTest::newRow("01 is DHCP on") << hex("01") + block << true;
        QTest::newRow("02 is DHCP on") << hex("02") + block << true;
    }

    void decodeWifiIp()
    {
        QFETCH(QByteArray, data);
        const WifiIp settings = ::decodeWifiIp(data);
        QTEST(settings.dhcp, "dhcp");
        QCOMPARE(formatAddress(settings.ip), QString("192.168.1.50"));
        QCOMPARE(formatAddress(settings.gateway), QString("192.168.1.1"));
        QCOMPARE(formatAddress(settings.mask), QString("255.255.255.0"));
        QCOMPARE(formatAddress(settings.dns), QString("192.168.1.2"));
        COMPARE_BYTES(encodeWifiIp(settings).mid(1), data.mid(1));
    }
};

QTEST_APPLESS_MAIN(TestNetwork)
#include "tst_network.moc"
