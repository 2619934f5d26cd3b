#include "settings/settingschange.h"

#include "settings/printerio.h"
#include "settings/validation.h"

#include "settings/rpsetuptr.h"

#include <QCoreApplication>

namespace {

// "key: text", the form every refusal of `set` takes.
bool refused(SettingsProblem problem, QString& error)
{
    if (!problem)
        return false;
    error =
        QStringLiteral("%1: %2").arg(settingKey(problem.field), settingsErrorText(problem.error));
    return true;
}

} // namespace

unsigned SettingsChange::itemsToRead() const
{
    unsigned items = 0;
    if (ethDhcp || ethIp || ethMask || ethGateway)
        items |= ItemEthernetIp;
    if (tcpPort || udpPort)
        items |= ItemEthernetPorts;
    if (ssid || password)
        items |= ItemStation;
    // Switching to access-point mode needs the address the printer already has, if none is given.
    if (apSsid || apPassword || apIp || wifiMode == WifiMode::AccessPoint)
        items |= ItemAccessPoint;
    if (wifiIpDhcp || wifiIpIp || wifiIpGateway || wifiIpMask || wifiIpDns)
        items |= ItemWifiIp;
    return items;
}

unsigned SettingsChange::itemsNamed() const
{
    unsigned items = itemsToRead() & ~unsigned(ItemAccessPoint);
    if (apSsid || apPassword || apIp)
        items |= ItemAccessPoint;
    if (speed)
        items |= ItemSpeed;
    if (density)
        items |= ItemDensity;
    if (alarm)
        items |= ItemAlarm;
    if (wifiMode)
        items |= ItemWifiMode;
    return items;
}

bool parseChange(const QStringList& arguments, SettingsChange& c, QString& error)
{
    if (arguments.isEmpty()) {
        error = Rpsetup::tr("请指定要设置的项，例如 speed=normal");
        return false;
    }
    for (const QString& argument : arguments) {
        const int eq = argument.indexOf(QLatin1Char('='));
        const QString key = eq < 0 ? argument : argument.left(eq);
        const QString value = eq < 0 ? QString() : argument.mid(eq + 1);
        const auto fail = [&](const QString& rule) {
            error = QStringLiteral("%1: %2").arg(key, rule);
            return false;
        };
        if (eq < 0 || settingField(key) == SettingsField::None)
            return fail(
                Rpsetup::tr("未知的键，可用：%1").arg(settingKeys().join(QLatin1String(", "))));

        const auto choice = [&](const QStringList& names, std::optional<std::uint8_t>& out) {
            const int index = names.indexOf(value);
            if (index < 0)
                return fail(Rpsetup::tr("应为以下之一：%1").arg(names.join(QLatin1String(", "))));
            out = std::uint8_t(index);
            return true;
        };
        const auto onOff = [&](std::optional<bool>& out) {
            if (value != QLatin1String("on") && value != QLatin1String("off"))
                return fail(Rpsetup::tr("应为以下之一：%1").arg("on, off"));
            out = value == QLatin1String("on");
            return true;
        };
        const auto rule = [&](SettingsError e) {
            return e == SettingsError::None ? true : fail(settingsErrorText(e));
        };
        const auto address = [&](std::optional<Address>& out) {
            Address a;
            if (!rule(checkAddressText(value, AddressUse::Required, a)))
                return false;
            out = a;
            return true;
        };
        const auto port = [&](std::optional<std::uint16_t>& out) {
            std::uint16_t p = 0;
            if (!rule(checkPortText(value, p)))
                return false;
            out = p;
            return true;
        };
        const auto name = [&](std::optional<QString>& out) {
            out = value;
            return rule(checkName(value));
        };
        const auto password = [&](std::optional<QString>& out) {
            out = value;
            return rule(checkPassword(value));
        };

        bool ok = true;
        if (key == "speed")
            ok = choice(choices::speed(), c.speed);
        else if (key == "density")
            ok = choice(choices::density(), c.density);
        else if (key == "alarm")
            ok = choice(choices::alarm(), c.alarm);
        else if (key == "eth.dhcp")
            ok = onOff(c.ethDhcp);
        else if (key == "eth.ip")
            ok = address(c.ethIp);
        else if (key == "eth.mask")
            ok = address(c.ethMask);
        else if (key == "eth.gateway")
            ok = address(c.ethGateway);
        else if (key == "eth.tcp-port")
            ok = port(c.tcpPort);
        else if (key == "eth.udp-port")
            ok = port(c.udpPort);
        else if (key == "wifi.mode") {
            std::optional<std::uint8_t> mode;
            ok = choice({"sta", "ap"}, mode);
            if (ok)
                c.wifiMode = *mode == 0 ? WifiMode::Station : WifiMode::AccessPoint;
        } else if (key == "wifi.ssid")
            ok = name(c.ssid);
        else if (key == "wifi.password")
            ok = password(c.password);
        else if (key == "wifi.ap-ssid")
            ok = name(c.apSsid);
        else if (key == "wifi.ap-password")
            ok = password(c.apPassword);
        else if (key == "wifi.ap-ip")
            ok = address(c.apIp);
        else if (key == "wifi-ip.dhcp")
            ok = onOff(c.wifiIpDhcp);
        else if (key == "wifi-ip.ip")
            ok = address(c.wifiIpIp);
        else if (key == "wifi-ip.gateway")
            ok = address(c.wifiIpGateway);
        else if (key == "wifi-ip.mask")
            ok = address(c.wifiIpMask);
        else if (key == "wifi-ip.dns")
            ok = address(c.wifiIpDns);
        if (!ok)
            return false;
    }
    return true;
}

bool applyChange(const SettingsChange& c, const PrinterSettings& current, PrinterSettings& r,
                 QString& error)
{
    r = PrinterSettings{};
    r.speed = c.speed;
    r.density = c.density;
    r.alarm = c.alarm;
    r.wifiMode = c.wifiMode;
    if (c.itemsToRead() & ItemEthernetIp) {
        EthernetIp ip = current.ethernetIp.value_or(EthernetIp{});
        ip.dhcp = c.ethDhcp.value_or(ip.dhcp);
        ip.ip = c.ethIp.value_or(ip.ip);
        ip.mask = c.ethMask.value_or(ip.mask);
        ip.gateway = c.ethGateway.value_or(ip.gateway);
        if (refused(validateEthernetIp(ip), error))
            return false;
        r.ethernetIp = ip;
    }
    if (c.itemsToRead() & ItemEthernetPorts) {
        EthernetPorts ports = current.ethernetPorts.value_or(EthernetPorts{});
        ports.tcp = c.tcpPort.value_or(ports.tcp);
        ports.udp = c.udpPort.value_or(ports.udp);
        if (refused(validateEthernetPorts(ports), error))
            return false;
        r.ethernetPorts = ports;
    }
    if (c.itemsToRead() & ItemStation) {
        StationSettings st = current.station.value_or(StationSettings{});
        st.name = c.ssid.value_or(st.name);
        st.password = c.password.value_or(st.password);
        if (refused(validateStation(st), error))
            return false;
        r.station = st;
    }
    if (c.apSsid || c.apPassword || c.apIp) {
        AccessPointSettings ap = current.accessPoint.value_or(AccessPointSettings{});
        ap.name = c.apSsid.value_or(ap.name);
        ap.password = c.apPassword.value_or(ap.password);
        if (c.apIp)
            ap.address = formatAddress(*c.apIp);
        if (refused(validateAccessPoint(ap), error))
            return false;
        r.accessPoint = ap;
    }
    if (c.wifiMode) {
        const QString apAddress = r.accessPoint
                                      ? r.accessPoint->address
                                      : current.accessPoint.value_or(AccessPointSettings{}).address;
        if (refused(validateWifiMode(*c.wifiMode, apAddress), error))
            return false;
    }
    if (c.itemsToRead() & ItemWifiIp) {
        WifiIp ip = current.wifiIp.value_or(WifiIp{});
        ip.dhcp = c.wifiIpDhcp.value_or(ip.dhcp);
        ip.ip = c.wifiIpIp.value_or(ip.ip);
        ip.gateway = c.wifiIpGateway.value_or(ip.gateway);
        ip.mask = c.wifiIpMask.value_or(ip.mask);
        ip.dns = c.wifiIpDns.value_or(ip.dns);
        if (refused(validateWifiIp(ip), error))
            return false;
        r.wifiIp = ip;
    }
    return true;
}
