#include "link/printeraddress.h"
#include "protocol/frame.h"
#include "protocol/network.h"
#include "settings/validation.h"
#include "testsupport.h"

#include <QtTest>

using testsupport::hex;

namespace {
// A decoded item as the windows show it. The windows always pass a zero-filled reply buffer;
// these cases feed the decoders the short and unterminated data other callers may have.
QString decoded(int item, const QByteArray& data)
{
    if (item == NET_IP_MESSAGE) {
        const EthernetIp ip = decodeEthernetIp(data);
        return QStringLiteral("%1 %2 %3 %4")
            .arg(ip.dhcp ? "DHCP ON" : "DHCP OFF", formatAddress(ip.ip), formatAddress(ip.mask),
                 formatAddress(ip.gateway));
    }
    if (item == PORT_MESSAGE) {
        const EthernetPorts ports = decodeEthernetPorts(data);
        return QStringLiteral("%1 %2").arg(ports.tcp).arg(ports.udp);
    }
    const StationSettings station = decodeStation(data);
    const AccessPointSettings ap = decodeAccessPoint(data);
    return item == AP_MODE ? ap.name + '|' + ap.password + '|' + ap.address
                           : station.name + '|' + station.password;
}
} // namespace

class TestNetwork : public QObject
{
    Q_OBJECT

private slots:
    // Parsed and formatted again; "invalid" is a refusal: nothing of such a field may be sent.
    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* text, const char* expected) {
            QTest::newRow(text) << QString(text) << QString(expected);
        };
        row("192.168.1.100", "192.168.1.100");
        row("010.001.000.255", "10.1.0.255");
        row(" 10.1 .2.3", "10.1.2.3");
        for (const char* refused :
             {"300.1.1.1", "10.0.0.256", "1000.1.1.1", "99999999999.1.1.1", "a.1.1.1", "-1.1.1.1",
              "10.0.1", "10.0.0.1.5", "", "...", "192..1."})
            row(refused, "invalid");
    }
    void parse()
    {
        QFETCH(QString, text);
        const std::optional<Address> address = parseAddress(text);
        QTEST(address ? formatAddress(*address) : QStringLiteral("invalid"), "expected");
    }

    // --host's words, parsed once: the address and port, or a refusal (nothing connects then).
    void host_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* text, const char* expected) {
            QTest::newRow(text) << QString(text) << QString(expected);
        };
        row("192.168.1.50", "192.168.1.50:9100");
        row("192.168.1.50:9101", "192.168.1.50:9101");
        row("till-printer.local", "till-printer.local:9100");
        row("[::1]:9100", "[::1]:9100");
        row("::1", "[::1]:9100");
        row("fe80::1%eth0", "invalid");
        for (const char* refused : {"", ":9100", "host:", "host:0", "host:65536", "host:+1",
                                    "host:09", "a b", "[::1", "[::1]x", "-host", "h%1st"})
            row(refused, "invalid");
    }
    void host()
    {
        QFETCH(QString, text);
        const std::optional<PrinterAddress> address = PrinterAddress::parseHost(text);
        QTEST(address ? address->toString() : QStringLiteral("invalid"), "expected");
    }

    void port_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected"); // -1: refused
        QTest::newRow("printer default") << "9100" << 9100;
        QTest::newRow("lowest") << "1" << 1;
        QTest::newRow("highest") << "65535" << 65535;
        QTest::newRow("spaces") << " 80 " << 80;
        for (const char* refused : {"0", "70000", "65536", "-1", "http", "80.5", "", "99999999999"})
            QTest::newRow(refused) << refused << -1;
    }
    void port()
    {
        QFETCH(QString, text);
        const auto port = parsePort(text);
        QTEST(port ? int(*port) : -1, "expected");
    }

    void decode_data()
    {
        QTest::addColumn<int>("item");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* name, int item, const QByteArray& data,
                            const char* expected) {
            QTest::newRow(name) << item << data << QString::fromUtf8(expected);
        };
        const QByteArray zeros(1024 - 20, '\0');
        row("ethernet ip, short", NET_IP_MESSAGE, hex("020A000001"),
            "DHCP OFF 10.0.0.1 0.0.0.0 0.0.0.0");
        row("ethernet ip, empty", NET_IP_MESSAGE, {}, "DHCP ON 0.0.0.0 0.0.0.0 0.0.0.0");
        row("ports, short", PORT_MESSAGE, hex("8C"), "140 0");
        row("station, name only", CONNECT_AP_INFORMATION, hex("6E657400") + zeros, "net|");
        row("station, unterminated", CONNECT_AP_INFORMATION, hex("6E6574"), "net|");
        row("station, UTF-8", CONNECT_AP_INFORMATION,
            hex("E59296E595A1E5BA9700 3132333435363738 00"), "咖啡店|12345678");
        row("station, empty", CONNECT_AP_INFORMATION, {}, "|");
        row("access point, all fields", AP_MODE,
            hex("6E657400 7061737331323334 00 31302E302E302E31 00") + zeros,
            "net|pass1234|10.0.0.1");
        row("access point, open", AP_MODE, hex("61626300 00 31302E302E302E31"), "abc||10.0.0.1");
    }
    void decode()
    {
        QFETCH(int, item);
        QFETCH(QByteArray, data);
        QTEST(decoded(item, data), "expected");
    }

    // Names and passwords go back to the printer as the bytes they came in: what is not UTF-8
    // is kept byte by byte, and nothing that is UTF-8 is taken for such a byte.
    void textBytes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        const auto kept = [](std::initializer_list<int> bytes) {
            QString text;
            for (const int b : bytes)
                text += QChar(ushort(0xDC00 + b));
            return text;
        };
        QTest::newRow("UTF-8") << hex("E59296E595A1") << QString::fromUtf8("咖啡");
        QTest::newRow("Latin-1") << hex("636166E9") << "caf" + kept({0xE9});
        QTest::newRow("overlong") << hex("C0AF") << kept({0xC0, 0xAF});
        QTest::newRow("surrogate encoded") << hex("EDA080") << kept({0xED, 0xA0, 0x80});
        QTest::newRow("cut short") << hex("61E592") << "a" + kept({0xE5, 0x92});
        QTest::newRow("past U+10FFFF") << hex("F4908080") << kept({0xF4, 0x90, 0x80, 0x80});
        QTest::newRow("pair ending in DC80") << hex("F0908280") << QString::fromUtf8("\U00010080");
    }
    void textBytes()
    {
        QFETCH(QByteArray, bytes);
        QTEST(textFromBytes(bytes), "text");
        QCOMPARE(bytesFromText(textFromBytes(bytes)), bytes);
    }

    // Counted in UTF-8 bytes, before anything is sent.
    void station_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("error");
        const auto row = [](const char* tag, const QString& name, const QString& password,
                            SettingsError error) {
            QTest::newRow(tag) << name << password << int(error);
        };
        const QString abc = "abc", cjk(1, QChar(0x7F51)); // three bytes
        const QString hexKey = QString("0123456789abcdefABCDEF").repeated(3).left(64);
        row("open network", abc, "", SettingsError::None);
        row("empty name", "", "", SettingsError::MissingName);
        row("shortest password", abc, QString(8, 'p'), SettingsError::None);
        row("longest password", abc, QString(63, 'p'), SettingsError::None);
        row("longest name", QString(32, 'n'), "", SettingsError::None);
        row("raw 64-hex-digit key", abc, hexKey, SettingsError::None);
        row("seven-byte password", abc, QString(7, 'p'), SettingsError::PasswordLength);
        row("64 bytes, not hex", abc, QString(64, 'p'), SettingsError::PasswordLength);
        row("65 hex digits", abc, hexKey + 'a', SettingsError::PasswordLength);
        row("33-byte name", QString(33, 'n'), "", SettingsError::NameTooLong);
        row("33-byte name of 11 characters", cjk.repeated(11), "", SettingsError::NameTooLong);
        row("9-byte password of 3 characters", abc, cjk.repeated(3), SettingsError::None);
        row("6-byte password of 2 characters", abc, cjk.repeated(2), SettingsError::PasswordLength);
        row("NUL in name", QString("Shop") + QChar(0) + "evil", "",
            SettingsError::ControlCharacter);
        row("tab in password", abc, "pass\tword", SettingsError::ControlCharacter);
        row("DEL in password", abc, "password\x7f", SettingsError::ControlCharacter);
    }
    void station()
    {
        QFETCH(QString, name);
        QFETCH(QString, password);
        QTEST(int(validateStation({name, password}).error), "error");
    }
};

QTEST_APPLESS_MAIN(TestNetwork)
#include "tst_network.moc"
