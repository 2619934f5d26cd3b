// rpsetup: the setup tool's command line, for scripted setup of many printers.
#include "command.h"
#include "files.h"
#include "output.h"

#include "rpsetuptr.h"

#include "i18n/translation.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>

#include <cerrno>
#include <cstdio>
#include <cstring>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("rpsetup");
    QCoreApplication::setApplicationVersion(QStringLiteral(RPS_VERSION));
    // The transport logs every exchange to the debug channel; a command line keeps its output for
    // results and errors unless asked.
    if (qEnvironmentVariableIsEmpty("RPSETUP_DEBUG"))
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& msg) {
            if (type != QtDebugMsg && type != QtInfoMsg)
                std::fprintf(stderr, "%s\n", qPrintable(msg));
        });
    QTranslator translator;
    installTranslation(app, translator, QLocale::system());
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << textFromBytes(argv[i]);
    const int rc = runCli(args);
    if (!flushOutput()) {
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        err(Rpsetup::tr("无法写入标准输出：%1").arg(reason));
        return rc == Success ? PrinterFailed : rc;
    }
    return rc;
}
