#pragma once

#include "link/printeraddress.h"
#include "settings/printerio.h"
#include "usb/printerlist.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

struct Target
{
    int port = 0;
    QString path; // the bus path, which names the printer even where a port number does not
    QString product;
    bool refused = false; // the user may not open it
    bool portShared = false;
    std::optional<PrinterAddress> host; // a printer reached over the network instead

    // "port 1", or "port 1 (1-2.1)" where another printer has the same port number;
    // "192.168.1.50:9100" over the network.
    QString label() const;
};

// The printers a command runs on, as --port, --path and --all chose them.
class Targets
{
public:
    enum Use
    {
        Unused,   // the command looks at no printer in particular (list)
        One,      // one printer only: --all is refused
        OneOrAll, // one printer, or every one with --all
        AnyLink,  // OneOrAll, or a printer on the network with --host
    };

    Targets(std::optional<int> port, std::optional<QString> path, bool all,
            std::optional<PrinterAddress> host = std::nullopt)
        : m_port(port), m_path(std::move(path)), m_all(all), m_host(std::move(host))
    {
    }

    bool all() const { return m_all; }
    const std::optional<PrinterAddress>& host() const { return m_host; }

    using Action = std::function<int(const Target&, PrinterLink&)>;
    using Unreachable = std::function<void(const Target&, const Outcome&)>;

    // Told of each printer that could not be opened or connected to, after it is said; a
    // command that reports every printer (status) counts it there.
    void onUnreachable(Unreachable hook) { m_unreachable = std::move(hook); }

    // The chosen printers, or the exit status that says why there are none.
    int choose(QList<Target>& targets) const;
    // Runs action once per chosen printer with a fresh handle whose interface stays claimed until
    // the action returns, reporting each under --all; the worst exit status wins. A printer the
    // user may not open, or one another program holds, fails with the reason and the remedy.
    int forEach(const Action& action) const;
    int forEach(const QList<Target>& targets, const Action& action) const;
    // As forEach, for a change that a printer's own values can make invalid: check runs on every
    // chosen printer first, and write on each whose check succeeded only when no check refused
    // (BadUsage), so a refusal sends nothing to any printer. Every printer stays claimed from its
    // check to the last write.
    int forEachChecked(const Action& check, const Action& write) const;
    int forEachChecked(const QList<Target>& targets, const Action& check,
                       const Action& write) const;

private:
    int forHost(const Target& target, const Action& action) const;
    // Finds and claims the printer; false after saying why it cannot be used.
    struct Claimed;
    bool reach(const Target& target, Claimed& claimed) const;
    // "port 1: done" or "port 1: failed", under --all.
    void report(const Target& target, int rc) const;

    // The bus, enumerated once for the whole command: choose lists it, forEach finds each
    // printer in it.
    const PrinterBus& bus() const;

    std::optional<int> m_port;
    std::optional<QString> m_path;
    bool m_all;
    std::optional<PrinterAddress> m_host;
    Unreachable m_unreachable;
    mutable std::shared_ptr<PrinterBus> m_bus;
};

// Every attached printer of the vendor, those the user may not open included, by port and path:
// the bus lists them in an order of its own, which a person reading a list or a log of --all
// should not have to follow.
QList<Target> attachedPrinters(const PrinterBus& bus);

// One line per printer: port, product (or "(no permission)"), path.
QString printerLine(const Target& printer);

// A read of the named items failed: said with its reason, and the exit status.
int readFailed(const Target& target, const ItemFailures& failed);
// A write of the named items failed: said with its reason, and the exit status.
int writeFailed(const Target& target, const ItemFailures& failed);
// Writes every frame and says which failed, with the reason.
int writeAll(const Target& target, PrinterLink& link, const QList<NamedFrame>& frames);
