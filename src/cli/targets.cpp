#include "targets.h"

#include "command.h"
#include "output.h"

#include "settings/rpsetuptr.h"
#include "usb/cdeviceioopera.h"

#include <QStringList>

#include <algorithm>

namespace {

QString printerList(const QList<AttachedPrinter>& printers)
{
    QStringList lines;
    for (const AttachedPrinter& p : printers)
        lines << QStringLiteral("  %1\t%2").arg(p.port).arg(QString::fromLatin1(p.product));
    return lines.join(QLatin1Char('\n'));
}

} // namespace

QList<AttachedPrinter> printersByPort()
{
    QList<AttachedPrinter> printers = listPrinters();
    std::stable_sort(
        printers.begin(), printers.end(),
        [](const AttachedPrinter& a, const AttachedPrinter& b) { return a.port < b.port; });
    return printers;
}

int Targets::choose(QList<Target>& targets) const
{
    const QList<AttachedPrinter> printers = printersByPort();
    if (printers.isEmpty()) {
        err(Rpsetup::tr("未找到打印机"));
        return NoPrinter;
    }
    if (m_all) {
        QList<int> seen;
        for (const AttachedPrinter& p : printers) {
            // Printers on equal port numbers behind two hubs answer as one: the later one.
            if (seen.contains(p.port))
                continue;
            seen << p.port;
            targets << Target{p.port, QString::fromLatin1(p.product)};
        }
        return Success;
    }
    if (m_port) {
        for (const AttachedPrinter& p : printers)
            if (p.port == *m_port)
                targets = {Target{p.port, QString::fromLatin1(p.product)}};
        if (targets.isEmpty()) {
            err(Rpsetup::tr("端口%1上没有打印机，已连接的打印机：").arg(*m_port));
            err(printerList(printers));
            return NoPrinter;
        }
        return Success;
    }
    if (printers.size() > 1) {
        err(Rpsetup::tr("连接了多台打印机，请用 --port 选择一台，或用 --all："));
        err(printerList(printers));
        return BadUsage;
    }
    targets << Target{printers.first().port, QString::fromLatin1(printers.first().product)};
    return Success;
}

int Targets::forEach(const Action& action) const
{
    QList<Target> targets;
    if (const int rc = choose(targets))
        return rc;
    return forEach(targets, action);
}

int Targets::forEach(const QList<Target>& targets, const Action& action) const
{
    int worst = Success;
    for (const Target& target : targets) {
        ScopedPrinterHandle handle;
        int rc;
        if (handle.open(target.port) != 0) {
            err(Rpsetup::tr("端口%1：无法连接打印机").arg(target.port));
            rc = PrinterFailed;
        } else {
            rc = action(target, handle.get());
        }
        if (m_all)
            err(rc == Success ? Rpsetup::tr("端口%1：完成").arg(target.port)
                              : Rpsetup::tr("端口%1：失败").arg(target.port));
        worst = std::max(worst, rc);
    }
    return worst;
}

int readFailed(const Target& target, const QStringList& failed)
{
    err(Rpsetup::tr("端口%1：读取失败：%2").arg(target.port).arg(failed.join(QLatin1String(", "))));
    return PrinterFailed;
}

int writeAll(const Target& target, _PrinterHandle* handle, const QList<NamedFrame>& frames)
{
    QStringList failed;
    writeFrames(handle, frames, failed);
    if (failed.isEmpty())
        return Success;
    err(Rpsetup::tr("端口%1：写入失败：%2").arg(target.port).arg(failed.join(QLatin1String(", "))));
    return PrinterFailed;
}
