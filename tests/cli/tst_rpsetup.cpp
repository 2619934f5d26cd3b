#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

namespace {

struct Run
{
    int status = -1;
    QString out;
    QString err;
    QJsonArray printers; // the launcher's record of every printer after the run
};

// The real rpsetup in a child process, through the launcher, as a script would run it.
Run rpsetup(const QStringList& printers, const QStringList& args, const QString& recordPath)
{
    QStringList launcherArgs{"--record", recordPath};
    for (const QString& fields : printers)
        launcherArgs << "--printer" << fields;
    launcherArgs << "--" << QStringLiteral(RPSETUP) << args;
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("LD_PRELOAD");
    env.remove("UMOCKDEV_DIR");
    env.insert("LC_ALL", "C.UTF-8");
    env.insert("LANG", "C.UTF-8");
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(PRINTER_SIM), launcherArgs);
    Run run;
    if (!p.waitForFinished(60000))
        return run;
    run.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    run.out = QString::fromUtf8(p.readAllStandardOutput());
    run.err = QString::fromUtf8(p.readAllStandardError());
    QFile record(recordPath);
    if (record.open(QIODevice::ReadOnly))
        run.printers = QJsonDocument::fromJson(record.readAll()).object()["printers"].toArray();
    return run;
}

QJsonObject printerOn(const Run& run, int port)
{
    for (const QJsonValue& v : run.printers)
        if (v.toObject()["port"].toInt() == port)
            return v.toObject();
    return {};
}

// The set frames (class 01) a printer took, as spaced upper-case hex.
QStringList setFrames(const QJsonObject& printer)
{
    QStringList frames;
    for (const QJsonValue& v : printer["received"].toArray()) {
        const QByteArray bytes = QByteArray::fromHex(v.toString().toLatin1());
        if (bytes.startsWith(QByteArray::fromHex("1BFFFE01")))
            frames << QString::fromLatin1(bytes.toHex(' ').toUpper());
    }
    return frames;
}

QString failure(const Run& run)
{
    return QStringLiteral("status %1\nstdout:\n%2\nstderr:\n%3")
        .arg(run.status)
        .arg(run.out, run.err);
}

// A printer whose every setting differs from the launcher's defaults.
const QString KnownPrinter = QStringLiteral(
    "port=3,product=Bar Printer,speed=2,density=0,alarm=3,firmware=2024-01-02,"
    "eth-dhcp=off,eth-ip=192.168.1.100,eth-mask=255.255.255.0,eth-gateway=192.168.1.1,"
    "eth-tcp=9100,eth-udp=80,wifi-mode=sta,sta-name=shop,sta-password=12345678,"
    "ap-name=abc,ap-password=,ap-ip=192.168.4.1,wifi-dhcp=on,wifi-ip=10.0.0.5,"
    "wifi-gateway=10.0.0.1,wifi-mask=255.0.0.0,wifi-dns=8.8.8.8");

} // namespace

class TestRpsetup : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QString record() const { return path("record.json"); }

private slots:
    void list_data()
    {
        QTest::addColumn<QStringList>("printers");
        QTest::addColumn<QString>("out");
        QTest::addColumn<int>("status");
        QTest::newRow("none: another vendor only")
            << QStringList{"port=1,vendor=0x1234"} << "" << 3;
        QTest::newRow("one") << QStringList{"port=4,product=Bar"} << "4\tBar\n" << 0;
        QTest::newRow("two") << QStringList{"port=1,product=A", "port=2,product=B"}
                             << "1\tA\n2\tB\n"
                             << 0;
    }

    void list()
    {
        QFETCH(QStringList, printers);
        QFETCH(QString, out);
        QFETCH(int, status);
        const Run run = rpsetup(printers, {"list"}, record());
        QVERIFY2(run.status == status, qPrintable(failure(run)));
        QStringList lines = run.out.split('\n', Qt::SkipEmptyParts);
        lines.sort();
        QCOMPARE(lines, out.split('\n', Qt::SkipEmptyParts));
    }

    void showJsonOfAKnownPrinter()
    {
        const Run run = rpsetup({KnownPrinter}, {"show", "--json"}, record());
        QVERIFY2(run.status == 0, qPrintable(failure(run)));
        const QJsonObject expected = QJsonDocument::fromJson(R"({
            "format": "receipt-printer-settings", "version": 1,
            "source": {"product": "Bar Printer", "port": 3, "firmware": "2024-01-02"},
            "print": {"speed": "faster", "density": "light", "alarm": "both"},
            "ethernet": {"dhcp": false, "ip": "192.168.1.100", "mask": "255.255.255.0",
                         "gateway": "192.168.1.1", "tcpPort": 9100, "udpPort": 80},
            "wifi": {"mode": "sta", "station": {"ssid": "shop", "password": "12345678"},
                     "accessPoint": {"ssid": "abc", "password": "", "ip": "192.168.4.1"}},
            "wifiIp": {"dhcp": true, "ip": "10.0.0.5", "gateway": "10.0.0.1",
                       "mask": "255.0.0.0", "dns": "8.8.8.8"}})")
                                         .object();
        const QJsonObject got = QJsonDocument::fromJson(run.out.toUtf8()).object();
        QVERIFY2(got == expected, qPrintable(run.out));
        QVERIFY(setFrames(printerOn(run, 3)).isEmpty());
    }

    void setSendsOnlyWhatChanges_data()
    {
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QStringList>("frames");
        QTest::newRow("speed") << QStringList{"speed=normal"}
                               << QStringList{"1B FF FE 01 00 01 01 1B FE FF"};
        QTest::newRow("gateway keeps mode, address and mask")
            << QStringList{"eth.gateway=192.168.1.254"}
            << QStringList{"1B FF FE 01 0D 0D 01 C0 A8 01 64 FF FF FF 00 C0 A8 01 FE 1B FE FF"};
        QTest::newRow("udp port keeps tcp port")
            << QStringList{"eth.udp-port=9200"}
            << QStringList{"1B FF FE 01 0F 04 8C 23 F0 23 1B FE FF"};
        QTest::newRow("password keeps the network name")
            << QStringList{"wifi.password=abcdefgh"}
            << QStringList{"1B FF FE 01 26 0E 73 68 6F 70 00 61 62 63 64 65 66 67 68 00 1B FE FF"};
        QTest::newRow("dns keeps the rest")
            << QStringList{"wifi-ip.dns=1.1.1.1"}
            << QStringList{
                   "1B FF FE 01 28 11 01 0A 00 00 05 0A 00 00 01 FF 00 00 00 01 01 01 01 1B FE FF"};
        QTest::newRow("access-point mode with the address the printer has")
            << QStringList{"wifi.mode=ap"} << QStringList{"1B FF FE 01 30 01 02 1B FE FF"};
    }

    void setSendsOnlyWhatChanges()
    {
        QFETCH(QStringList, keys);
        QFETCH(QStringList, frames);
        const Run run = rpsetup({KnownPrinter}, QStringList{"set"} + keys, record());
        QVERIFY2(run.status == 0, qPrintable(failure(run)));
        QCOMPARE(setFrames(printerOn(run, 3)), frames);
    }

    void refusalsSendNothing_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("status");
        QTest::newRow("address part") << QStringList{"set", "speed=normal", "eth.ip=300.1.1.1"}
                                      << "eth.ip: Invalid address" << 2;
        QTest::newRow("port") << QStringList{"set", "eth.tcp-port=70000"}
                              << "eth.tcp-port: Invalid port" << 2;
        QTest::newRow("name") << QStringList{"set", "wifi.ssid=" + QString(33, 'n')}
                              << "wifi.ssid: The Wi-Fi name can be at most 32 bytes" << 2;
        QTest::newRow("password") << QStringList{"set", "wifi.ap-password=1234567"}
                                  << "wifi.ap-password: The Wi-Fi password must be 8 to 63" << 2;
        QTest::newRow("unknown key")
            << QStringList{"set", "colour=red"} << "colour: unknown key" << 2;
        QTest::newRow("choice") << QStringList{"set", "speed=fast"} << "speed: must be one of" << 2;
        QTest::newRow("access point without address")
            << QStringList{"--port", "1", "set", "wifi.mode=ap"}
            << "wifi.ap-ip: Please enter the AP IP" << 2;
        QTest::newRow("logo number 0")
            << QStringList{"logo", "print", "0"} << "logo number from 1 to 255" << 2;
        QTest::newRow("logo number 256")
            << QStringList{"logo", "print", "256"} << "from 1 to 255" << 2;
        QTest::newRow("no images")
            << QStringList{"logo", "download"} << "Please choose images first" << 2;
        QTest::newRow("unreadable image")
            << QStringList{"logo", "download", "/nonexistent.png"} << "Cannot read image" << 2;
        for (const QSize size : {QSize(8, 8), QSize(1024, 960), QSize(4001, 4000)}) {
            QImage image(size, QImage::Format_Mono);
            image.fill(0);
            QVERIFY(image.save(path(QStringLiteral("%1.png").arg(size.width()))));
        }
        QTest::newRow("over 16 megapixels") << QStringList{"logo", "download", path("4001.png")}
                                            << "over 16 megapixels: " + path("4001.png") << 2;
        QTest::newRow("image block too large, no preview left")
            << QStringList{"logo",          "download",    "--preview",
                           path("refused"), path("8.png"), path("1024.png")}
            << path("1024.png") + " is 122884 bytes; a download holds at most 122880 bytes" << 2;
        QTest::newRow("no printer on the port")
            << QStringList{"--port", "9", "show"} << "No printer on port 9" << 3;
    }

    void refusalsSendNothing()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        QFETCH(int, status);
        // Port 1 has never been an access point: it has no address of its own.
        const Run run = rpsetup({"port=1,wifi-mode=sta,ap-ip=", KnownPrinter}, args, record());
        QVERIFY2(run.status == status, qPrintable(failure(run)));
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        for (const QJsonValue& printer : run.printers)
            QVERIFY(setFrames(printer.toObject()).isEmpty() &&
                    printer["downloads"].toArray().isEmpty());
        QVERIFY(!QDir(path("refused")).exists());
    }

    void tooManyImagesSendNothing()
    {
        QImage image(8, 8, QImage::Format_Grayscale8);
        image.fill(0);
        const QString file = path("black.png");
        QVERIFY(image.save(file));
        QStringList args{"logo", "download"};
        for (int i = 0; i < 256; ++i)
            args << file;
        const Run run = rpsetup({"port=1"}, args, record());
        QCOMPARE(run.status, 2);
        QVERIFY2(run.err.contains("No more than 255 images"), qPrintable(run.err));
        QVERIFY(printerOn(run, 1)["received"].toArray().isEmpty());
    }

    void backupThenRestoreMakesTwoPrintersEqual()
    {
        const QString backup = path("backup.json");
        QFile::remove(backup);
        const Run saved = rpsetup({KnownPrinter}, {"backup", backup}, record());
        QVERIFY2(saved.status == 0, qPrintable(failure(saved)));
        struct stat info;
        QCOMPARE(::stat(QFile::encodeName(backup).constData(), &info), 0);
        QCOMPARE(info.st_mode & 0777, mode_t(0600));

        const Run restored =
            rpsetup({"port=5,speed=0,density=2,alarm=0,eth-ip=10.1.1.1,wifi-mode=ap,"
                     "sta-name=other,sta-password=,ap-name=x,ap-ip=1.2.3.4"},
                    {"restore", backup}, path("record2.json"));
        QVERIFY2(restored.status == 0, qPrintable(failure(restored)));
        QJsonObject want = printerOn(saved, 3)["state"].toObject();
        QJsonObject got = printerOn(restored, 5)["state"].toObject();
        // The firmware is the printer's own and logos cannot be read back.
        for (const char* key : {"firmwareDate", "logos"}) {
            want.remove(key);
            got.remove(key);
        }
        QVERIFY2(got == want,
                 QJsonDocument(got).toJson() + "\n!=\n" + QJsonDocument(want).toJson());
    }

    void damagedBackupIsRefused()
    {
        const QString file = path("damaged.json");
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(R"({"format": "receipt-printer-settings", "version": 1,
                    "print": {"speed": "normal"}, "ethernet": {"tcpPort": 70000, "udpPort": 80},
                    "colour": "red"})");
        f.close();
        const Run run = rpsetup({"port=1"}, {"restore", file}, record());
        QCOMPARE(run.status, 2);
        QVERIFY2(run.err.contains("ethernet.tcpPort: Invalid port"), qPrintable(run.err));
        QVERIFY2(run.err.contains("colour: unknown key"), qPrintable(run.err));
        QVERIFY(printerOn(run, 1)["received"].toArray().isEmpty());

        const Run dry =
            rpsetup({"port=1"}, {"restore", "--dry-run", path("backup.json")}, record());
        QVERIFY2(dry.status == 0 && dry.out.startsWith("speed\t1B FF FE 01 00 01 02 1B FE FF"),
                 qPrintable(failure(dry)));
        QVERIFY(printerOn(dry, 1)["received"].toArray().isEmpty());
    }

    void allGoesOnPastAnUnpluggedPrinter()
    {
        const Run run = rpsetup({"port=1", "port=2,unplug-after=1"},
                                {"--all", "set", "speed=faster", "density=dark"}, record());
        QVERIFY2(run.status == 1, qPrintable(failure(run)));
        QVERIFY2(run.err.contains("port 1: done") && run.err.contains("port 2: failed"),
                 qPrintable(run.err));
        const QJsonObject one = printerOn(run, 1)["state"].toObject();
        QCOMPARE(one["speed"].toInt(), 2);
        QCOMPARE(one["density"].toInt(), 2);
    }

    void logoFramesMatchTheWindows()
    {
        QImage black(8, 8, QImage::Format_Grayscale8);
        black.fill(0);
        QImage white(10, 8, QImage::Format_Grayscale8);
        white.fill(255);
        QVERIFY(black.save(path("a.png")) && white.save(path("b.jpg"), "PNG"));
        const QString previews = path("previews");
        const Run run = rpsetup(
            {"port=1"}, {"logo", "download", "--preview", previews, path("a.png"), path("b.jpg")},
            record());
        QVERIFY2(run.status == 0, qPrintable(failure(run)));
        const QByteArray expected = QByteArray::fromHex("1C7102"
                                                        "01000100"
                                                        "FFFFFFFFFFFFFFFF"
                                                        "02000100"
                                                        "00000000000000000000"
                                                        "000000000000");
        const QJsonArray downloads = printerOn(run, 1)["downloads"].toArray();
        QCOMPARE(downloads.size(), 1);
        QCOMPARE(QByteArray::fromHex(downloads[0].toString().toLatin1()).toHex(' '),
                 expected.toHex(' '));
        const QImage preview(QDir(previews).filePath("1-a.png"));
        QCOMPARE(preview.size(), QSize(8, 8));
        QCOMPARE(qGray(preview.pixel(3, 3)), 0);

        const Run print =
            rpsetup({"port=1"}, {"logo", "print", "5", "--size", "double-height"}, record());
        QVERIFY2(print.status == 0, qPrintable(failure(print)));
        QCOMPARE(printerOn(print, 1)["prints"].toArray(), QJsonArray{"1c700502"});
    }

    void ditheringShadesMidGrey()
    {
        QImage grey(16, 16, QImage::Format_Grayscale8);
        grey.fill(128);
        QVERIFY(grey.save(path("grey.png")));
        const auto dots = [&](const QString& dither) {
            const Run run = rpsetup(
                {"port=1"}, {"logo", "download", "--dither", dither, path("grey.png")}, record());
            const QByteArray frame = QByteArray::fromHex(
                printerOn(run, 1)["downloads"].toArray()[0].toString().toLatin1());
            int bits = 0;
            for (const char byte : frame.mid(7))
                bits += qPopulationCount(quint8(byte));
            return bits;
        };
        // Grey 128 is dark to the plain threshold; diffusion prints about every other dot.
        QCOMPARE(dots("threshold"), 256);
        const int diffused = dots("floyd-steinberg");
        QVERIFY2(diffused > 100 && diffused < 156, qPrintable(QString::number(diffused)));
    }
};

QTEST_GUILESS_MAIN(TestRpsetup)
#include "tst_rpsetup.moc"
