#include "targets.h"

#include "command.h"
#include "output.h"

#include "link/networklink.h"
#include "rpsetuptr.h"
#include "signaldeferral.h"
#include "usb/cdeviceioopera.h"
#include "usb/usblink.h"

#include <algorithm>
#include <vector>

namespace {

QString printerLines(const QList<Target>& printers)
{
    QStringList lines;
    for (const Target& p : printers)
        lines << QStringLiteral("  ") + printerLine(p);
    return lines.join(QLatin1Char('\n'));
}

// A failure whose cause the user can remove gets its own message instead of the generic one.
bool explained(const Target& target, Failure failure)
{
    if (failure != Failure::AccessDenied && failure != Failure::InUse &&
        failure != Failure::DriverNotDetached)
        return false;
    err(Rpsetup::tr("%1：%2").arg(target.label(), failureAfterLabel(failure)));
    return true;
}

} // namespace

QString Target::label() const
{
    if (host)
        return host->toString();
    return portShared ? Rpsetup::tr("端口%1（%2）").arg(QString::number(port), path)
                      : Rpsetup::tr("端口%1").arg(port);
}

QList<Target> attachedPrinters(const PrinterBus& bus)
{
    QList<Target> printers;
    for (const AttachedPrinter& p : bus.printers(Listing::WithRefused))
        printers << Target{p.port,
                           p.path,
                           QString::fromLatin1(p.product),
                           p.access == AttachedPrinter::Access::NoPermission,
                           false,
                           std::nullopt};
    for (Target& p : printers)
        p.portShared = std::count_if(printers.begin(), printers.end(),
                                     [&](const Target& o) { return o.port == p.port; }) > 1;
    std::sort(printers.begin(), printers.end(), [](const Target& a, const Target& b) {
        return a.port != b.port ? a.port < b.port : a.path < b.path;
    });
    return printers;
}

QString printerLine(const Target& p)
{
    // One substitution: a product string is the device's text, and a %1 in it is no placeholder.
    return QStringLiteral("%1\t%2\t%3")
        .arg(QString::number(p.port),
             p.refused ? Rpsetup::tr("（无权限）") : escapeControls(p.product), p.path);
}

int Targets::choose(QList<Target>& targets) const
{
    if (m_host) {
        Target t;
        t.host = m_host;
        targets << t;
        return Success;
    }
    const QList<Target> printers = attachedPrinters(bus());
    if (printers.isEmpty()) {
        err(Rpsetup::tr("未找到打印机"));
        return NoPrinter;
    }
    if (m_all) {
        targets = printers;
        return Success;
    }
    if (m_path) {
        for (const Target& p : printers)
            if (p.path == *m_path)
                targets << p;
        if (targets.isEmpty()) {
            err(Rpsetup::tr("没有路径为%1的打印机，已连接的打印机：").arg(escapeControls(*m_path)));
            err(printerLines(printers));
            return NoPrinter;
        }
        return Success;
    }
    if (m_port) {
        for (const Target& p : printers)
            if (p.port == *m_port)
                targets << p;
        if (targets.isEmpty()) {
            err(Rpsetup::tr("端口%1上没有打印机，已连接的打印机：").arg(*m_port));
            err(printerLines(printers));
            return NoPrinter;
        }
        if (targets.size() > 1) {
            err(Rpsetup::tr("端口%1上有多台打印机，请用 --path 选择一台：").arg(*m_port));
            err(printerLines(targets));
            targets.clear();
            return BadUsage;
        }
        return Success;
    }
    if (printers.size() > 1) {
        err(Rpsetup::tr("连接了多台打印机，请用 --port 或 --path 选择一台，或用 --all："));
        err(printerLines(printers));
        return BadUsage;
    }
    targets = printers;
    return Success;
}

const PrinterBus& Targets::bus() const
{
    if (!m_bus)
        m_bus = std::make_shared<PrinterBus>();
    return *m_bus;
}

int Targets::forEach(const Action& action) const
{
    QList<Target> targets;
    if (const int rc = choose(targets))
        return rc;
    return forEach(targets, action);
}

// One printer found and claimed for a whole command, and its link.
struct Targets::Claimed
{
    SignalDeferral
        deferral; // first in, last out: a signal takes its course with the printer given back
    ScopedPrinterHandle handle;
    PrinterSession session;
    UsbLink link{handle.get()};
};

bool Targets::reach(const Target& target, Claimed& claimed) const
{
    auto* handle = claimed.handle.get();
    if (target.refused) {
        explained(target, Failure::AccessDenied);
        if (m_unreachable)
            m_unreachable(target, Outcome::failed(Failure::AccessDenied, PrinterFailed));
        return false;
    }
    if (bus().find(target.path, handle) != 0 || claimed.session.open(handle) != 0) {
        if (!explained(target, handle->failure))
            err(Rpsetup::tr("%1：无法连接打印机").arg(target.label()));
        if (m_unreachable)
            m_unreachable(target, Outcome::failed(handle->failure, PrinterFailed));
        return false;
    }
    return true;
}

void Targets::report(const Target& target, int rc) const
{
    if (m_all)
        err(rc == Success ? Rpsetup::tr("%1：完成").arg(target.label())
                          : Rpsetup::tr("%1：失败").arg(target.label()));
}

int Targets::forEach(const QList<Target>& targets, const Action& action) const
{
    int worst = Success;
    for (const Target& target : targets) {
        if (target.host) {
            worst = std::max(worst, forHost(target, action));
            continue;
        }
        Claimed claimed;
        const int rc = reach(target, claimed) ? action(target, claimed.link) : int(PrinterFailed);
        report(target, rc);
        worst = std::max(worst, rc);
    }
    return worst;
}

int Targets::forHost(const Target& target, const Action& action) const
{
    Outcome connected;
    const std::unique_ptr<NetworkLink> link = NetworkLink::open(*target.host, connected);
    if (!link) {
        err(Rpsetup::tr("%1：%2").arg(target.label(), failureAfterLabel(connected.failure)));
        if (m_unreachable)
            m_unreachable(target, connected);
        return PrinterFailed;
    }
    return action(target, *link);
}

int Targets::forEachChecked(const Action& check, const Action& write) const
{
    QList<Target> targets;
    if (const int rc = choose(targets))
        return rc;
    return forEachChecked(targets, check, write);
}

int Targets::forEachChecked(const QList<Target>& targets, const Action& check,
                            const Action& write) const
{
    struct Held
    {
        Target target;
        Claimed claimed;
        int rc = PrinterFailed;
    };
    std::vector<std::unique_ptr<Held>> held;
    bool refused = false;
    for (const Target& target : targets) {
        held.push_back(std::make_unique<Held>());
        Held& h = *held.back();
        h.target = target;
        if (reach(target, h.claimed))
            h.rc = check(target, h.claimed.link);
        refused = refused || h.rc == BadUsage;
    }
    int worst = Success;
    for (const auto& h : held) {
        if (refused) {
            worst = BadUsage;
            continue;
        }
        if (h->rc == Success)
            h->rc = write(h->target, h->claimed.link);
        report(h->target, h->rc);
        worst = std::max(worst, h->rc);
    }
    // Each session restores the signal handling the one claimed before it found.
    while (!held.empty())
        held.pop_back();
    return worst;
}

int readFailed(const Target& target, const ItemFailures& failed)
{
    if (!explained(target, failed.first().outcome.failure))
        err(Rpsetup::tr("%1：读取失败：%2")
                .arg(target.label())
                .arg(failedNames(failed).join(QLatin1String(", "))));
    return PrinterFailed;
}

int writeAll(const Target& target, PrinterLink& link, const QList<NamedFrame>& frames)
{
    const ItemFailures failed = writeFrames(link, frames);
    return failed.isEmpty() ? int(Success) : writeFailed(target, failed);
}

int writeFailed(const Target& target, const ItemFailures& failed)
{
    const ItemFailures tried = failuresSent(failed, true);
    const ItemFailures unsent = failuresSent(failed, false);
    if (!tried.isEmpty() && !explained(target, tried.first().outcome.failure))
        err(Rpsetup::tr("%1：写入失败：%2")
                .arg(target.label())
                .arg(failedNames(tried).join(QLatin1String(", "))));
    if (!unsent.isEmpty())
        err(Rpsetup::tr("%1：未发送：%2")
                .arg(target.label(), failedNames(unsent).join(QLatin1String(", "))));
    return PrinterFailed;
}
