#pragma once

#include "link/outcome.h"
#include "link/printeraddress.h"
#include "protocol/address.h"
#include "protocol/status.h"
#include "settings/printersettings.h"

#include <QDateTime>
#include <QList>
#include <QString>

// One address where a till would reach the printer, as the printer holds it.
struct NetworkTarget
{
    QString interfaceName; // "ethernet" or "wifi"; empty for an address the user gave
    PrinterAddress address;
    bool subnetKnown = false; // ip and mask are the printer's own
    Address ip{};
    Address mask{};

    static NetworkTarget held(const QString& interfaceName, const Address& ip, const Address& mask,
                              int tcpPort);
    // "ethernet 192.168.1.100:9100", or the address alone
    QString label() const;
};

// The static addresses of the settings read (Ethernet with its TCP port, Wi-Fi IP with the same
// port), and the interfaces that take theirs from DHCP and so have none to check.
struct NetworkPlan
{
    QList<NetworkTarget> targets;
    QStringList dhcp;
};
NetworkPlan networkPlan(const PrinterSettings& settings);
// The items a plan needs read.
constexpr unsigned NetworkPlanItems = ItemEthernetIp | ItemEthernetPorts | ItemWifiIp;

// The name of this computer's interface whose IPv4 address falls in the subnet that ip and mask
// give, or nothing: then a connection would have to go through a router.
QString localInterfaceOn(const Address& ip, const Address& mask);

// What one address came to: connected and answered the status requests (with the status), or
// why not.
struct AddressCheck
{
    NetworkTarget target;
    QString localInterface;
    Outcome outcome;
    PrinterStatus status;
    bool printed = false;

    bool answered() const { return outcome.ok(); }
};

struct CheckBudget
{
    int connectMs = 2000;
    int replyMs = 1000;
};

// Connects, asks the printer's status and, when asked and it answered, prints a short test
// receipt over the same connection naming the address, the port and the time.
AddressCheck checkAddress(const NetworkTarget& target, const CheckBudget& budget, bool print,
                          const QDateTime& now);

// ESC @, the lines, a few line feeds; no cut, since not every printer has a cutter.
QByteArray testReceipt(const PrinterAddress& address, const QDateTime& now);
