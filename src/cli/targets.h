#pragma once

#include "settings/printerio.h"
#include "usb/printerhandle.h"
#include "usb/printerlist.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

struct Target
{
    int port;
    QString product;
};

// The printers a command runs on, as --port and --all chose them.
class Targets
{
public:
    enum Use
    {
        Unused,   // the command looks at no printer in particular (list, restore --dry-run)
        One,      // one printer only: --all is refused
        OneOrAll, // one printer, or every one with --all
    };

    Targets(std::optional<int> port, bool all) : m_port(port), m_all(all) {}

    bool all() const { return m_all; }

    using Action = std::function<int(const Target&, _PrinterHandle*)>;

    // The chosen printers, or the exit status that says why there are none.
    int choose(QList<Target>& targets) const;
    // Runs action once per chosen printer with a fresh handle, reporting each by port under
    // --all; the worst exit status wins.
    int forEach(const Action& action) const;
    int forEach(const QList<Target>& targets, const Action& action) const;

private:
    std::optional<int> m_port;
    bool m_all;
};

// Printers by port: the bus lists them in an order of its own, which a person reading a list or a
// log of --all should not have to follow.
QList<AttachedPrinter> printersByPort();

// A read of the named items failed: said, with the exit status.
int readFailed(const Target& target, const QStringList& failed);
// Writes every frame and says which failed.
int writeAll(const Target& target, _PrinterHandle* handle, const QList<NamedFrame>& frames);
