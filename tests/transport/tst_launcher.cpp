#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

class TestLauncher : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_out;
    QString m_err;

    // printer-sim as a user starts it, not preloaded itself, running a shell script in which
    // $RPSETUP is the command-line tool: a program that knows nothing of the simulation.
    static QProcessEnvironment userEnvironment()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("LD_PRELOAD");
        env.remove("UMOCKDEV_DIR");
        env.insert("RPSETUP", RPSETUP);
        env.insert("PRINTER_SIM", PRINTER_SIM);
        return env;
    }

    int launch(const QStringList& options, const QString& script)
    {
        QProcess p;
        p.setProcessEnvironment(userEnvironment());
        p.start(PRINTER_SIM, options + QStringList{"--", "/bin/sh", "-c", script});
        const bool ended = p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit;
        m_out = QString::fromUtf8(p.readAllStandardOutput());
        m_err = QString::fromUtf8(p.readAllStandardError());
        qInfo("printer-sim %s: %s", qPrintable(options.join(' ')), qPrintable(m_err));
        return ended ? p.exitCode() : -1;
    }

    QString path(const char* name) const { return m_dir.filePath(name); }

    QJsonObject recorded(const char* record, int port) const
    {
        QFile f(path(record));
        f.open(QIODevice::ReadOnly);
        for (const QJsonValue& v : QJsonDocument::fromJson(f.readAll())["printers"].toArray())
            if (v["port"].toInt() == port)
                return v.toObject();
        return {};
    }

private slots:
    void childSeesThePrinters()
    {
        QCOMPARE(launch({"--demo", "--printer", "port=3,fault=open-refused", "--record", path("1")},
                        "$RPSETUP list && $RPSETUP --port 2 self-test"),
                 0);
        QCOMPARE(m_out,
                 QStringLiteral(
                     "1\tRP80 Printer\t1-1\n2\tRP58 Kitchen\t1-2\n3\t(no permission)\t1-3\n"));
        QCOMPARE(recorded("1", 2)["received"].toArray(), QJsonArray{"1bfffe0000001bfeff"});
        QCOMPARE(recorded("1", 1)["received"].toArray(), QJsonArray{});
    }

    // What one run leaves in the printer, the next run starts from.
    void recordFeedsTheNextRun()
    {
        QCOMPARE(launch({"--printer", "port=4,product=Bar,speed=1", "--record", path("1")},
                        "$RPSETUP --port 4 set speed=faster"),
                 0);
        QCOMPARE(launch({"--state", path("1"), "--record", path("2")}, "$RPSETUP list"), 0);
        QCOMPARE(m_out, QStringLiteral("4\tBar\t1-4\n"));
        QCOMPARE(recorded("2", 4)["state"].toObject()["speed"].toInt(), 2);
    }

    // The command runs in a network namespace of its own, where the demo's printers answer DLE
    // EOT at their Ethernet and Wi-Fi addresses; the script connects only once it sees that it
    // is not in this process's namespace.
    void networkInItsOwnNamespace()
    {
        char outside[64] = {};
        QVERIFY(::readlink("/proc/self/ns/net", outside, sizeof outside - 1) > 0);
        const QString script = QStringLiteral(
            R"sh([ "$(readlink /proc/self/ns/net)" != "%1" ] || exit 9
            exec bash -c 'for at in 192.168.1.100/9100 192.168.4.1/9101; do
                exec 3<>/dev/tcp/$at && printf "\020\004\001" >&3 && head -c1 <&3 | od -An -tx1
            done')sh");
        QCOMPARE(launch({"--demo", "--record", path("n")}, script.arg(QLatin1String(outside))), 0);
        QCOMPARE(m_out.simplified(), QStringLiteral("12 12"));
        QCOMPARE(recorded("n", 2)["networkReceived"].toArray(), QJsonArray{"100401"});
    }

    // File names are bytes: one that is not UTF-8 reaches the program unchanged.
    void commandWordsByteForByte()
    {
        QProcess p;
        p.setProcessEnvironment(userEnvironment());
        p.start("/bin/sh",
                {"-c", R"sh("$PRINTER_SIM" --demo -- printf %s "$(printf 'caf\351')")sh"});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.readAllStandardOutput(), QByteArray("caf\xe9"));
    }

    // The child's status becomes the launcher's; bad input is refused before the child runs.
    void statusAndRefusals_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("err");
        QTest::newRow("child's status") << QStringList{"--demo"} << 7 << "";
        QTest::newRow("unknown key")
            << QStringList{"--printer", "colour=red"} << 2 << "unknown key";
        QTest::newRow("two on one port")
            << QStringList{"--printer", "port=1", "--printer", "port=1"} << 2
            << "cannot attach a printer on 1-1";
        QTest::newRow("no printer") << QStringList{} << 2 << "no printer";
        QTest::newRow("no state file")
            << QStringList{"--state", "/none.json"} << 2 << "cannot read";
    }

    void statusAndRefusals()
    {
        QFETCH(QStringList, options);
        QFETCH(int, status);
        QFETCH(QString, err);
        QCOMPARE(launch(options, "echo ran; exit 7"), status);
        QVERIFY2(m_err.contains(err), qPrintable(m_err));
        QCOMPARE(m_out, QString(status == 7 ? "ran\n" : ""));
    }
};

QTEST_GUILESS_MAIN(TestLauncher)
#include "tst_launcher.moc"
