#pragma once

#include "settings/networkcheck.h"

#include <QJsonObject>
#include <QList>
#include <QString>

struct NetworkCheckOptions
{
    int waitSeconds = 0; // try again every second until every address answers or this passes
    bool print = false;  // a test receipt to each address that answers
    bool lines = true;   // the results as text on standard output (not with --json)
};

struct NetworkChecks
{
    QList<AddressCheck> checks;

    bool allAnswered() const
    {
        for (const AddressCheck& c : checks)
            if (!c.answered())
                return false;
        return true;
    }
};

// {"addresses": [...], "dhcp": [...], "answered"}: what check-network and apply report.
QJsonObject networkJson(const NetworkChecks& checks, const NetworkPlan& plan);

// Checks every address, saying first whether each is on a local subnet, then what each came to,
// under label ("port 1"); shared by check-network and apply --check-network.
NetworkChecks checkTargets(const QList<NetworkTarget>& targets, const NetworkCheckOptions& options,
                           const QString& label);
