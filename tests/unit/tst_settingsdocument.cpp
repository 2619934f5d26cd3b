#include "setarguments.h"
#include "settings/fieldcodecs.h"
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

// What `set` is given for a field of each kind; a kind without one names its first field.
std::optional<QString> sampleText(const FieldSpec& f)
{
    switch (f.kind) {
    case FieldKind::Choice:
        return QString::fromLatin1(f.choices.back().name);
    case FieldKind::OnOff:
        return QStringLiteral("off");
    case FieldKind::IpAddress:
        return QStringLiteral("10.1.2.3");
    case FieldKind::Port:
        return QStringLiteral("9100");
    case FieldKind::Name:
        return QStringLiteral("shop");
    case FieldKind::Password:
        return QStringLiteral("12345678");
    case FieldKind::ApAddress:
        return QStringLiteral("192.168.4.1");
    case FieldKind::Text:
        break;
    }
    return std::nullopt;
}

// Every writable row of the table, each field set from its kind's sample through `set`'s codec,
// so a new row needs no sample of its own. The key of a field without one, or empty.
QString tableSample(PrinterSettings& s)
{
    for (const ItemSpec& item : settingsItems()) {
        if (item.readOnly)
            continue;
        item.emplace(s);
        for (const FieldSpec& f : item.fields) {
            QString rule;
            const auto text = sampleText(f);
            const auto value = text ? codecOf(f.kind).fromArgument(f, *text, rule) : std::nullopt;
            if (!value)
                return QString::fromLatin1(f.key);
            f.set(s, *value);
        }
    }
    return QString();
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

    // Every item, through the table: its frame decodes to the same frame, `show`'s text of its
    // fields given back to `set` stores the same frame, and so does its backup document, read
    // whole (restore) or as a change (apply). Each has a bit of its own, which `show` and `backup`
    // read, and a secret field's bytes stay out of the log of its frame.
    void everyItemRoundTrips()
    {
        PrinterSettings s;
        const QString unsampled = tableSample(s);
        QVERIFY2(unsampled.isEmpty(), qPrintable("no sample for the kind of " + unsampled));
        unsigned seen = 0;
        for (const ItemSpec& item : settingsItems()) {
            QVERIFY2(qPopulationCount(item.id) == 1 && !(seen & item.id) && (AllItems & item.id),
                     item.name);
            seen |= item.id;
            if (item.readOnly)
                continue;
            const std::optional<QByteArray> frame = item.frame(s);
            QVERIFY2(frame && !frame->isEmpty(), item.name);
            PrinterSettings wire;
            item.decode(wire, frame->mid(frame::HeaderSize, frame->size() - frame::EnvelopeSize));
            QCOMPARE(toHex(item.frame(wire).value_or(QByteArray())), toHex(*frame));

            QStringList arguments;
            for (const FieldSpec& f : item.fields)
                arguments << QStringLiteral("%1=%2").arg(f.key, fieldText(f, f.get(s)));
            SettingsChange change;
            PrinterSettings typed;
            QString error;
            QVERIFY2(parseChange(arguments, change, error) && applyChange(change, s, typed, error),
                     qPrintable(error));
            QCOMPARE(toHex(item.frame(typed).value_or(QByteArray())), toHex(*frame));

            const QByteArray logged = loggedBytes(*frame, item.command, frame::HeaderSize).join();
            for (const FieldSpec& f : item.fields)
                if (isSecret(f))
                    QVERIFY2(logged.contains(SecretMask) &&
                                 !logged.contains(
                                     std::get<QString>(f.get(s)).toUtf8().toHex().toUpper()),
                             f.key);
        }
        const QJsonObject doc = toDocument(s, "RP80", 3);
        DocumentErrors errors;
        PrinterSettings applied;
        writeChange(changeFromDocument(doc, errors), applied);
        const PrinterSettings restored = fromDocument(doc, errors);
        QVERIFY2(errors.ok(), qPrintable(errors.messages.join('\n')));
        QCOMPARE(hexFrames(framesFor(restored)), hexFrames(framesFor(s)));
        QCOMPARE(hexFrames(framesFor(applied)), hexFrames(framesFor(s)));
    }

    // The rule of each kind of field at both ends of its range: the command line and a document
    // must agree on what passes and on the value it gives.
    void fieldRules_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QJsonValue>("json");
        QTest::addColumn<bool>("accepted");
        const auto row = [](const char* name, const char* key, const QString& typed,
                            const QJsonValue& json, bool accepted) {
            QTest::newRow(name) << QString(key) << typed << json << accepted;
        };
        const QString e = QStringLiteral("\u00e9"); // two bytes of UTF-8
        // 0 is the form of a port as a printer held it, so a document's lowest refusal is -1.
        row("port 0 typed, -1 in a document", "eth.tcp-port", "0", -1, false);
        row("port 1", "eth.tcp-port", "1", 1, true);
        row("port 65535", "eth.udp-port", "65535", 65535, true);
        row("port 65536", "eth.udp-port", "65536", 65536, false);
        row("address 255.255.255.255", "eth.ip", "255.255.255.255", "255.255.255.255", true);
        row("address part 256", "wifi-ip.dns", "1.2.3.256", "1.2.3.256", false);
        row("address of three parts", "eth.gateway", "1.2.3", "1.2.3", false);
        row("access-point address made canonical", "wifi.ap-ip", " 10.0.0.1", " 10.0.0.1", true);
        row("name of 32 bytes", "wifi.ssid", e.repeated(16), e.repeated(16), true);
        row("name of 33 bytes", "wifi.ap-ssid", e.repeated(16) + 'n', e.repeated(16) + 'n', false);
        row("name with a tab", "wifi.ssid", "a\tb", "a\tb", false);
        row("open network", "wifi.password", "", "", true);
        row("password of 7 bytes", "wifi.password", "1234567", "1234567", false);
        row("password of 8 bytes", "wifi.ap-password", "12345678", "12345678", true);
        row("password of 63 bytes", "wifi.password", QString(63, 'p'), QString(63, 'p'), true);
        row("key of 64 hex digits", "wifi.password", QString(64, 'a'), QString(64, 'a'), true);
        row("64 characters not hex", "wifi.password", QString(64, 'p'), QString(64, 'p'), false);
        row("named choice", "density", "dark", "dark", true);
        row("unnamed choice", "speed", "fast", "fast", false);
        row("mode", "wifi.mode", "sta", "sta", true);
        row("on", "wifi-ip.dhcp", "on", true, true);
        row("neither on nor off", "eth.dhcp", "yes", "yes", false);
    }

    void fieldRules()
    {
        QFETCH(QString, key);
        QFETCH(QString, typed);
        QFETCH(QJsonValue, json);
        QFETCH(bool, accepted);
        SettingsChange fromArguments;
        QString error;
        QCOMPARE(parseChange({key + '=' + typed}, fromArguments, error), accepted);
        QVERIFY2(accepted || error.startsWith(key + ": "), qPrintable(error));

        const FieldSpec& field = *fieldForKey(key);
        const ItemSpec& item = itemOf(field.id);
        QJsonObject own{{field.jsonKey, json}};
        QJsonObject section = item.object ? QJsonObject{{item.object, own}} : own;
        const QJsonObject doc{{"format", "receipt-printer-settings"},
                              {"version", SettingsDocumentVersion},
                              {item.section, section}};
        DocumentErrors errors;
        const SettingsChange fromDocument = changeFromDocument(doc, errors);
        QCOMPARE(errors.ok(), accepted);
        QVERIFY2(accepted || errors.messages.first().startsWith(item.path() + '.' + field.jsonKey),
                 qPrintable(errors.messages.join('\n')));
        QVERIFY(fromArguments.values == fromDocument.values);
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
        QTest::newRow("wrong type") << doc(R"("print": {"speed": true})") << "print.speed";
        QTest::newRow("address part over 255")
            << doc(R"("ethernet": {"dhcp": true, "ip": "300.1.1.1", "mask": "0.0.0.0", "gateway": "0.0.0.0"})")
            << "ethernet.ip";
        QTest::newRow("missing field of an item")
            << doc(R"("ethernet": {"dhcp": true, "ip": "1.1.1.1", "mask": "0.0.0.0"})")
            << "ethernet.gateway";
        QTest::newRow("port not whole")
            << doc(R"("ethernet": {"tcpPort": 91.5, "udpPort": 80})") << "ethernet.tcpPort";
        QTest::newRow("names as bytes too long for one frame")
            << doc(("\"wifi\": {\"station\": {\"ssid\": {\"hex\": \"" + QByteArray(600, 'a') +
                    "\"}, \"password\": \"\"}}")
                       .constData())
            << "wifi.station";
        QTest::newRow("hex not a string")
            << doc(R"("wifi": {"station": {"ssid": "a", "password": {"hex": 5}}})")
            << "wifi.station.password";
        QTest::newRow("named choice as a number")
            << doc(R"("print": {"speed": 1})") << "print.speed";
        QTest::newRow("hex of a name with 00")
            << doc(R"("wifi": {"station": {"ssid": {"hex": "6100"}, "password": ""}})")
            << "wifi.station.ssid";
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
        QTest::newRow("escapes of lone surrogates")
            << doc(R"("wifi": {"station": {"ssid": "a\ud800b", "password": "a\udcffbcdefgh"}})")
            << "wifi.station.ssid";
        QTest::newRow("nested 20,000 deep, refused before the key scan")
            << QByteArray("{\"a\":").repeated(20000) + '1' + QByteArray("}").repeated(20000)
            << "嵌套超过8层";
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
