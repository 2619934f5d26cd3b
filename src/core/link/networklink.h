#pragma once

#include "link/printeraddress.h"
#include "link/printerlink.h"

#include <memory>

// A printer reached over TCP at its print port, where network receipt printers take ESC/POS and
// answer real-time status requests. One connection for the link's life.
class NetworkLink : public PrinterLink
{
public:
    static constexpr int DefaultConnectBudgetMs = 2000;

    // Connects within connectBudgetMs; the link, or nothing with outcome saying why.
    static std::unique_ptr<NetworkLink> open(const PrinterAddress& address, Outcome& outcome,
                                             int connectBudgetMs = DefaultConnectBudgetMs);
    ~NetworkLink() override;

    Kind kind() const override { return Kind::Network; }
    const PrinterAddress& address() const { return m_address; }

    Outcome send(const QByteArray& bytes, int budgetMs) override;
    using PrinterLink::send;
    Outcome exchange(const QByteArray& bytes, const ReplyMatcher& match, QByteArray& answer,
                     int budgetMs) override;
    Outcome drain(int budgetMs) override;
    bool lost() const override { return !m_lost.ok(); }

private:
    NetworkLink(const PrinterAddress& address, int fd) : m_address(address), m_fd(fd) {}
    Outcome fail(const Outcome& outcome);

    PrinterAddress m_address;
    int m_fd = -1;
    Outcome m_lost; // set by a time-out or a dropped connection: nothing more is sent
};
