#include "usb/usblink.h"

#include "usb/cdeviceioopera.h"

std::unique_ptr<UsbLink> UsbLink::open(const PrinterAddress& address, Outcome& outcome)
{
    auto owned = std::make_unique<ScopedPrinterHandle>();
    const int rc = address.kind == PrinterAddress::Kind::UsbPath ? owned->open(address.path)
                                                                 : owned->open(address.port);
    if (rc != 0) {
        const TransportFailure why = owned->get()->failure;
        outcome = Outcome::failed(why == TransportFailure::None ? Failure::NoPrinter : why, rc);
        return nullptr;
    }
    outcome = Outcome::success();
    std::unique_ptr<UsbLink> link(new UsbLink(owned->get()));
    link->m_owned = std::move(owned);
    return link;
}

UsbLink::~UsbLink() = default;

Outcome UsbLink::outcome(int code)
{
    if (code == 0)
        return noted(Outcome::success());
    const TransportFailure why = m_record ? m_record->failure : TransportFailure::NoEndpoint;
    return noted(Outcome::failed(why == TransportFailure::None ? Failure::WriteFailed : why, code));
}

Outcome UsbLink::send(const QByteArray& bytes, int budgetMs)
{
    return outcome(
        CDeviceIOOpera::Transfer(m_record, bytes, nullptr, nullptr, unsigned(budgetMs), 0));
}

Outcome UsbLink::exchange(const QByteArray& bytes, const ReplyMatcher& match, QByteArray& answer,
                          int budgetMs)
{
    const CDeviceIOOpera::ReplyCollector collect = match;
    return outcome(CDeviceIOOpera::Transfer(m_record, bytes, &collect, &answer,
                                            CDeviceIOOpera::writeTimeoutMs(int(bytes.size())),
                                            unsigned(budgetMs)));
}

Outcome UsbLink::drain(int budgetMs)
{
    return outcome(CDeviceIOOpera::Drain(m_record, unsigned(budgetMs)));
}
