// A small program the launcher test runs through printer-sim: it knows nothing of the
// simulation and talks to whatever printers libusb finds, through the same transport as the app.
//
//   sim-client list | speed PORT | set-speed PORT VALUE | selftest PORT ...
//
// Commands run in order; each prints one line per result.

#include "protocol/query.h"
#include "usb/cdeviceioopera.h"
#include "usb/printerlist.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qputenv("QT_LOGGING_RULES", "default.debug=false");
    QStringList args = app.arguments().mid(1);
    while (!args.isEmpty()) {
        const QString command = args.takeFirst();
        if (command == QLatin1String("list")) {
            for (const QString& text : GetPrinterList())
                std::printf("list: %s\n", qPrintable(text));
            continue;
        }
        if (args.isEmpty())
            return 2;
        const int port = args.takeFirst().toInt();
        ScopedPrinterHandle handle;
        int rc = handle.open(port);
        if (command == QLatin1String("speed")) {
            unsigned char out[QueryBufferSize] = {};
            if (rc == 0)
                rc = GetPrinterInfo(handle.get(), SPEED, out);
            std::printf("speed %d: rc %d value %d\n", port, rc, out[0]);
        } else if (command == QLatin1String("set-speed") && !args.isEmpty()) {
            const char value = char(args.takeFirst().toInt());
            if (rc == 0)
                rc = sendFrame(handle.get(), buildSetFrame(SPEED, QByteArray(1, value)));
            std::printf("set-speed %d: rc %d\n", port, rc);
        } else if (command == QLatin1String("selftest")) {
            if (rc == 0)
                rc = SetPrinterStatusButton(handle.get(), SELF_TEST_PAGE);
            std::printf("selftest %d: rc %d\n", port, rc);
        } else {
            return 2;
        }
    }
    return 0;
}
