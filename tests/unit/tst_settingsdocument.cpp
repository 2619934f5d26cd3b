#include "settings/printerio.h"
#include "settings/settingsdocument.h"

#include "protocol/frame.h"

#include <QJsonDocument>
#include <QtTest>

namespace {

PrinterSettings sample()
{
    PrinterSettings s;
    s.speed = 2;
    s.density = 0;
    s.alarm = 3;
    s.firmware = QStringLiteral("2024-01-02");
    s.ethernetIp = EthernetIp{false, {192, 168, 1, 100}, {255, 255, 255, 0}, {192, 168, 1, 1}};
    s.ethernetPorts = EthernetPorts{9100, 80};
    s.wifiMode = WifiMode::AccessPoint;
    s.station = StationSettings{QStringLiteral("shop"), QStringLiteral("12345678")};
    s.accessPoint =
        AccessPointSettings{QStringLiteral("abc"), QString(), QStringLiteral("192.168.4.1")};
    s.wifiIp = WifiIp{true, {10, 0, 0, 5}, {10, 0, 0, 1}, {255, 0, 0, 0}, {8, 8, 8, 8}};
    return s;
}

QStringList hexFrames(const QList<NamedFrame>& frames)
{
    QStringList out;
    for (const NamedFrame& f : frames)
        out << f.item + ": " + QString::fromLatin1(toHex(f.frame));
    return out;
}

} // namespace

class TestSettingsDocument : public QObject
{
    Q_OBJECT

private slots:
    void framesInWriteOrder()
    {
        const QStringList frames = hexFrames(framesFor(sample()));
        const QStringList expected{
            "speed: 1B FF FE 01 00 01 02 1B FE FF",
            "density: 1B FF FE 01 13 01 00 1B FE FF",
            "alarm: 1B FF FE 01 40 01 03 1B FE FF",
            "ethernet ip: 1B FF FE 01 0D 0D 01 C0 A8 01 64 FF FF FF 00 C0 A8 01 01 1B FE FF",
            "ethernet ports: 1B FF FE 01 0F 04 8C 23 50 00 1B FE FF",
            "wifi mode: 1B FF FE 01 30 01 02 1B FE FF",
            "wifi station: 1B FF FE 01 26 0E 73 68 6F 70 00 31 32 33 34 35 36 37 38 00 1B FE FF",
            "wifi access point: 1B FF FE 01 27 11 61 62 63 00 00 31 39 32 2E 31 36 38 2E 34 2E 31 "
            "00 1B FE FF",
            "wifi ip: 1B FF FE 01 28 11 01 0A 00 00 05 0A 00 00 01 FF 00 00 00 08 08 08 08 1B FE "
            "FF",
        };
        QCOMPARE(frames, expected);
    }

    void documentRoundTrip()
    {
        const QJsonObject doc = toDocument(sample(), "RP80", 3);
        QCOMPARE(doc["version"].toInt(), SettingsDocumentVersion);
        QCOMPARE(doc["source"].toObject()["port"].toInt(), 3);
        QCOMPARE(doc["ethernet"].toObject()["ip"].toString(), QString("192.168.1.100"));
        DocumentErrors errors;
        const PrinterSettings back = fromDocument(doc, errors);
        QVERIFY2(errors.ok(), qPrintable(errors.messages.join('\n')));
        QCOMPARE(hexFrames(framesFor(back)), hexFrames(framesFor(sample())));
    }

    void unknownValueIsKeptAsNumber()
    {
        PrinterSettings s;
        s.alarm = 5;
        const QJsonObject doc = toDocument(s, "RP80", 1);
        QCOMPARE(doc["print"].toObject()["alarm"].toInt(), 5);
        DocumentErrors errors;
        fromDocument(doc, errors);
        QCOMPARE(errors.messages.size(), 1);
        QVERIFY(errors.messages.first().startsWith("print.alarm: "));
    }

    void damagedDocuments_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("path");
        const QByteArray head = R"("format": "receipt-printer-settings", "version": 1)";
        const auto doc = [&](const char* body) { return "{" + head + ", " + body + "}"; };
        QTest::newRow("unknown top key") << doc(R"("printer": 1)") << "printer";
        QTest::newRow("unknown nested key")
            << doc(R"("print": {"sped": "normal"})") << "print.sped";
        QTest::newRow("wrong type") << doc(R"("print": {"speed": 1})") << "print.speed";
        QTest::newRow("unknown choice")
            << doc(R"("print": {"density": "black"})") << "print.density";
        QTest::newRow("address part over 255")
            << doc(R"("ethernet": {"dhcp": true, "ip": "300.1.1.1", "mask": "0.0.0.0", "gateway": "0.0.0.0"})")
            << "ethernet.ip";
        QTest::newRow("missing field of an item")
            << doc(R"("ethernet": {"dhcp": true, "ip": "1.1.1.1", "mask": "0.0.0.0"})")
            << "ethernet.gateway";
        QTest::newRow("port out of range")
            << doc(R"("ethernet": {"tcpPort": 70000, "udpPort": 80})") << "ethernet.tcpPort";
        QTest::newRow("port not whole")
            << doc(R"("ethernet": {"tcpPort": 91.5, "udpPort": 80})") << "ethernet.tcpPort";
        QTest::newRow("short password")
            << doc(R"("wifi": {"station": {"ssid": "shop", "password": "1234"}})")
            << "wifi.station.password";
        QTest::newRow("long name")
            << doc(R"("wifi": {"station": {"ssid": "123456789012345678901234567890123", "password": ""}})")
            << "wifi.station.ssid";
        QTest::newRow("access point without address")
            << doc(R"("wifi": {"mode": "ap", "accessPoint": {"ssid": "a", "password": "", "ip": ""}})")
            << "wifi.accessPoint.ip";
        QTest::newRow("dhcp not a flag")
            << doc(R"("wifiIp": {"dhcp": "yes", "ip": "1.1.1.1", "gateway": "1.1.1.1", "mask": "1.1.1.1", "dns": "1.1.1.1"})")
            << "wifiIp.dhcp";
        QTest::newRow("duplicate key")
            << doc(R"("print": {"speed": "normal", "alarm": "off", "sp\u0065ed": "faster"})")
            << "print.speed";
        QTest::newRow("duplicate section")
            << doc(R"("print": {"speed": "normal"}, "print": {"speed": "normal"})") << "print";
        QTest::newRow("port past any integer")
            << doc(R"("ethernet": {"tcpPort": 1e300, "udpPort": 80})") << "ethernet.tcpPort";
        QTest::newRow("port below any integer")
            << doc(R"("ethernet": {"tcpPort": 80, "udpPort": -1e300})") << "ethernet.udpPort";
        QTest::newRow("version past any integer")
            << QByteArray(R"({"format": "receipt-printer-settings", "version": 1e300})")
            << "version";
        QTest::newRow("not JSON") << QByteArray(R"({"format": )") << "不是有效的JSON";
        QTest::newRow("not an object") << QByteArray("[1]") << "文件应为一个JSON对象";
        QTest::newRow("newer version")
            << QByteArray(R"({"format": "receipt-printer-settings", "version": 2})") << "version";
        QTest::newRow("not a backup") << QByteArray(R"({"version": 1})") << "format";
    }

    void damagedDocuments()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, path);
        DocumentErrors errors;
        const PrinterSettings s = fromDocumentText(json, errors);
        QVERIFY2(!errors.ok(), json.constData());
        QVERIFY2(errors.messages.first().startsWith(path), qPrintable(errors.messages.join('\n')));
        // Nothing of a damaged document may be written.
        QVERIFY(framesFor(s).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSettingsDocument)
#include "tst_settingsdocument.moc"
