#include "protocol/address.h"

#include <QtTest>

Q_DECLARE_METATYPE(Address)

namespace {
QString show(const std::optional<Address>& address)
{
    return address ? formatAddress(*address) : QStringLiteral("invalid");
}
} // namespace

class TestAddress : public QObject
{
    Q_OBJECT

private slots:
    void format_data()
    {
        QTest::addColumn<Address>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("typical") << Address{0xC0, 0xA8, 0x01, 0x64} << "192.168.1.100";
        QTest::newRow("all zero") << Address{0, 0, 0, 0} << "0.0.0.0";
        QTest::newRow("no leading zeros") << Address{7, 10, 0, 255} << "7.10.0.255";
    }

    void format()
    {
        QFETCH(Address, bytes);
        QFETCH(QString, text);
        QCOMPARE(formatAddress(bytes), text);
    }

    void addressAtPadsShortData()
    {
        const QByteArray data = QByteArray::fromHex("00C0A8");
        QCOMPARE(formatAddress(addressAt(data, 1)), QString("192.168.0.0"));
        QCOMPARE(formatAddress(addressAt(data, 9)), QString("0.0.0.0"));
    }

    // "invalid" stands for a refusal: nothing of such a field may be sent.
    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("typical") << "192.168.1.100"
                                 << "192.168.1.100";
        QTest::newRow("empty masked field") << "..."
                                            << "0.0.0.0";
        QTest::newRow("empty places read 0") << "192..1."
                                             << "192.0.1.0";
        QTest::newRow("partial parts") << "1.2.3.4"
                                       << "1.2.3.4";
        QTest::newRow("leading zeros from the mask") << "010.001.000.255"
                                                     << "10.1.0.255";
        QTest::newRow("blanks around a part") << " 10.1 .2.3"
                                              << "10.1.2.3";
        QTest::newRow("part above 255") << "300.1.1.1"
                                        << "invalid";
        QTest::newRow("256 is not 0") << "10.0.0.256"
                                      << "invalid";
        QTest::newRow("four digits") << "1000.1.1.1"
                                     << "invalid";
        QTest::newRow("beyond int") << "99999999999.1.1.1"
                                    << "invalid";
        QTest::newRow("letters") << "a.1.1.1"
                                 << "invalid";
        QTest::newRow("negative") << "-1.1.1.1"
                                  << "invalid";
        QTest::newRow("three parts") << "10.0.1"
                                     << "invalid";
        QTest::newRow("five parts") << "10.0.0.1.5"
                                    << "invalid";
        QTest::newRow("no dots at all") << ""
                                        << "invalid";
    }

    void parse()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(show(parseAddress(text)), expected);
    }

    // The log shows each part as typed next to the number sent for it.
    void partsKeepTheirText()
    {
        const QList<AddressPart> parts = addressParts("192..07.x");
        QCOMPARE(parts.size(), 4);
        QCOMPARE(parts[1].text, QString());
        QCOMPARE(parts[1].value, 0);
        QVERIFY(parts[1].valid);
        QCOMPARE(parts[2].text, QString("07"));
        QCOMPARE(parts[2].value, 7);
        QVERIFY(!parts[3].valid);
    }

    void port_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected"); // -1: refused
        QTest::newRow("printer default") << "9100" << 9100;
        QTest::newRow("lowest") << "1" << 1;
        QTest::newRow("highest") << "65535" << 65535;
        QTest::newRow("spaces") << " 80 " << 80;
        QTest::newRow("zero") << "0" << -1;
        QTest::newRow("above 16 bits") << "70000" << -1;
        QTest::newRow("65536 is not 0") << "65536" << -1;
        QTest::newRow("negative") << "-1" << -1;
        QTest::newRow("letters") << "http" << -1;
        QTest::newRow("fraction") << "80.5" << -1;
        QTest::newRow("empty") << "" << -1;
        QTest::newRow("beyond int") << "99999999999" << -1;
    }

    void port()
    {
        QFETCH(QString, text);
        QFETCH(int, expected);
        const auto port = parsePort(text);
        QCOMPARE(port ? int(*port) : -1, expected);
    }
};

QTEST_APPLESS_MAIN(TestAddress)
#include "tst_address.moc"
