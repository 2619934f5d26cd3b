#include "simrecord.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace sim {

namespace {

QString hex(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toHex());
}

QJsonArray hexArray(const QList<QByteArray>& list)
{
    QJsonArray out;
    for (const QByteArray& b : list)
        out.append(hex(b));
    return out;
}

QString hex16(int value)
{
    return QStringLiteral("0x%1").arg(value, 4, 16, QLatin1Char('0'));
}

bool byteValue(const QJsonObject& json, const char* key, std::uint8_t& field, QString* error)
{
    const QJsonValue v = json.value(QLatin1String(key));
    if (v.isUndefined())
        return true;
    const double d = v.toDouble(-1);
    if (!v.isDouble() || d < 0 || d > 255 || d != int(d)) {
        *error = QStringLiteral("state key \"%1\" must be a number from 0 to 255").arg(key);
        return false;
    }
    field = std::uint8_t(d);
    return true;
}

bool hexValue(const QJsonObject& json, const char* key, QByteArray& field, QString* error)
{
    const QJsonValue v = json.value(QLatin1String(key));
    if (v.isUndefined())
        return true;
    const QByteArray text = v.toString().toLatin1();
    const QByteArray bytes = QByteArray::fromHex(text);
    if (!v.isString() || bytes.toHex() != text.toLower()) {
        *error = QStringLiteral("state key \"%1\" must be hexadecimal bytes").arg(key);
        return false;
    }
    field = bytes;
    return true;
}

} // namespace

QJsonObject stateToJson(const PrinterState& s)
{
    QJsonObject o;
    o.insert(QStringLiteral("speed"), s.speed);
    o.insert(QStringLiteral("density"), s.density);
    o.insert(QStringLiteral("alarm"), s.alarm);
    o.insert(QStringLiteral("firmwareDate"), QString::fromLatin1(s.firmwareDate));
    o.insert(QStringLiteral("netIp"), hex(s.netIp));
    o.insert(QStringLiteral("netPort"), hex(s.netPort));
    o.insert(QStringLiteral("wifiMode"), s.wifiMode);
    o.insert(QStringLiteral("station"), hex(s.station));
    o.insert(QStringLiteral("ap"), hex(s.ap));
    o.insert(QStringLiteral("wifiIp"), hex(s.wifiIp));
    o.insert(QStringLiteral("logos"), hexArray(s.logos));
    return o;
}

bool stateFromJson(const QJsonObject& json, PrinterState& s, QString* error)
{
    static const QStringList known{"speed", "density", "alarm",    "firmwareDate",
                                   "netIp", "netPort", "wifiMode", "station",
                                   "ap",    "wifiIp",  "logos"};
    for (const QString& key : json.keys()) {
        if (!known.contains(key)) {
            *error = QStringLiteral("unknown state key \"%1\"").arg(key);
            return false;
        }
    }
    PrinterState next = s;
    if (!byteValue(json, "speed", next.speed, error) ||
        !byteValue(json, "density", next.density, error) ||
        !byteValue(json, "alarm", next.alarm, error) ||
        !byteValue(json, "wifiMode", next.wifiMode, error) ||
        !hexValue(json, "netIp", next.netIp, error) ||
        !hexValue(json, "netPort", next.netPort, error) ||
        !hexValue(json, "station", next.station, error) || !hexValue(json, "ap", next.ap, error) ||
        !hexValue(json, "wifiIp", next.wifiIp, error))
        return false;
    const QJsonValue date = json.value(QLatin1String("firmwareDate"));
    if (!date.isUndefined()) {
        if (!date.isString()) {
            *error = QStringLiteral("state key \"firmwareDate\" must be text");
            return false;
        }
        next.firmwareDate = date.toString().toLatin1();
    }
    const QJsonValue logos = json.value(QLatin1String("logos"));
    if (!logos.isUndefined() && !logos.isArray()) {
        *error = QStringLiteral("state key \"logos\" must be a list of hexadecimal blocks");
        return false;
    }
    if (!logos.isUndefined()) {
        next.logos.clear();
        const QJsonArray blocks = logos.toArray();
        for (const QJsonValue& v : blocks) {
            const QJsonObject one{{QStringLiteral("logo"), v}};
            QByteArray block;
            if (!hexValue(one, "logo", block, error)) {
                *error = QStringLiteral("state key \"logos\" must be a list of hexadecimal blocks");
                return false;
            }
            next.logos.append(block);
        }
    }
    s = next;
    return true;
}

QJsonObject printerRecord(const SimPrinter& printer)
{
    const PrinterConfig& c = printer.config();
    QJsonObject o;
    o.insert(QStringLiteral("sysfs"), c.sysfsName);
    o.insert(QStringLiteral("port"), printer.port());
    o.insert(QStringLiteral("product"), QString::fromUtf8(c.product));
    o.insert(QStringLiteral("vendor"), hex16(c.vendorId));
    o.insert(QStringLiteral("productId"), hex16(c.productId));
    o.insert(QStringLiteral("unplugged"), printer.unplugged());
    o.insert(QStringLiteral("kernelDriver"), printer.kernelDriverAttached());
    o.insert(QStringLiteral("state"), stateToJson(printer.state()));
    o.insert(QStringLiteral("received"), hexArray(printer.received()));
    o.insert(QStringLiteral("networkReceived"), hexArray(printer.networkReceived()));
    o.insert(QStringLiteral("selfTests"), printer.selfTests());
    o.insert(QStringLiteral("clearHalts"), printer.clearHalts());
    o.insert(QStringLiteral("claims"), printer.claims());
    o.insert(QStringLiteral("prints"), hexArray(printer.prints()));
    o.insert(QStringLiteral("downloads"), hexArray(printer.downloads()));
    return o;
}

QByteArray recordDocument(const QList<SimPrinter*>& printers)
{
    QJsonArray list;
    for (const SimPrinter* p : printers)
        list.append(printerRecord(*p));
    return QJsonDocument(QJsonObject{{QStringLiteral("printers"), list}})
        .toJson(QJsonDocument::Indented);
}

} // namespace sim
