#include "settings/settingsdocument.h"

#include "settings/rpsetuptr.h"
#include "settings/settingschange.h"
#include "settings/validation.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>

#include <cmath>

namespace {

QJsonValue choiceValue(const QStringList& names, std::uint8_t value)
{
    return value < names.size() ? QJsonValue(names[value]) : QJsonValue(int(value));
}

// Walks a document, collecting every error with the path it was found at.
class Reader
{
public:
    explicit Reader(DocumentErrors& errors) : m_errors(errors) {}

    void error(const QString& path, const QString& message)
    {
        m_errors.messages << QStringLiteral("%1: %2").arg(path, message);
    }

    // The object at path, with its unknown keys reported.
    std::optional<QJsonObject> object(const QJsonValue& value, const QString& path,
                                      const QStringList& keys)
    {
        if (!value.isObject()) {
            error(path, Rpsetup::tr("应为对象"));
            return std::nullopt;
        }
        const QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it)
            if (!keys.contains(it.key()))
                error(join(path, it.key()), Rpsetup::tr("未知的键"));
        return object;
    }

    std::optional<QString> text(const QJsonObject& parent, const QString& path, const QString& key)
    {
        const QJsonValue value = parent.value(key);
        if (value.isUndefined()) {
            error(join(path, key), Rpsetup::tr("缺少此项"));
            return std::nullopt;
        }
        if (!value.isString()) {
            error(join(path, key), Rpsetup::tr("应为文本"));
            return std::nullopt;
        }
        return value.toString();
    }

    std::optional<bool> flag(const QJsonObject& parent, const QString& path, const QString& key)
    {
        const QJsonValue value = parent.value(key);
        if (!value.isBool()) {
            error(join(path, key),
                  value.isUndefined() ? Rpsetup::tr("缺少此项") : Rpsetup::tr("应为true或false"));
            return std::nullopt;
        }
        return value.toBool();
    }

    std::optional<std::uint8_t> choice(const QJsonObject& parent, const QString& path,
                                       const QString& key, const QStringList& names)
    {
        const auto name = text(parent, path, key);
        if (!name)
            return std::nullopt;
        const int index = names.indexOf(*name);
        if (index < 0) {
            error(join(path, key),
                  Rpsetup::tr("应为以下之一：%1").arg(names.join(QLatin1String(", "))));
            return std::nullopt;
        }
        return std::uint8_t(index);
    }

    std::optional<Address> address(const QJsonObject& parent, const QString& path,
                                   const QString& key)
    {
        const auto value = text(parent, path, key);
        if (!value)
            return std::nullopt;
        const auto parsed = parseAddress(*value);
        if (!parsed)
            error(join(path, key), settingsErrorText(SettingsError::InvalidAddress));
        return parsed;
    }

    std::optional<std::uint16_t> port(const QJsonObject& parent, const QString& path,
                                      const QString& key)
    {
        const QJsonValue value = parent.value(key);
        const double number = value.toDouble(-1);
        // The range comes first: converting a double outside int's range is undefined.
        if (!value.isDouble() || !(number >= 1 && number <= 65535) ||
            number != std::floor(number)) {
            error(join(path, key), value.isUndefined()
                                       ? Rpsetup::tr("缺少此项")
                                       : settingsErrorText(SettingsError::InvalidPort));
            return std::nullopt;
        }
        return std::uint16_t(number);
    }

    void credentials(const QString& path, const QString& name, const QString& password)
    {
        if (const SettingsError e = checkName(name); e != SettingsError::None)
            error(join(path, "ssid"), settingsErrorText(e));
        else if (const SettingsError e = checkPassword(password); e != SettingsError::None)
            error(join(path, "password"), settingsErrorText(e));
    }

    static QString join(const QString& path, const QString& key)
    {
        return path.isEmpty() ? key : path + QLatin1Char('.') + key;
    }

private:
    DocumentErrors& m_errors;
};

// The paths of keys that appear twice in one object. A JSON parser keeps one of them without a
// word, so such a file does not say which value it restores.
QStringList duplicateKeys(const QByteArray& json)
{
    struct Level
    {
        bool object;
        QString path;
        QSet<QString> keys;
        bool expectKey;
    };
    QVector<Level> stack;
    QString lastKey;
    QStringList found;
    for (int i = 0; i < json.size(); ++i) {
        const char c = json[i];
        if (c == '"') {
            int end = i + 1;
            while (end < json.size() && json[end] != '"')
                end += json[end] == '\\' ? 2 : 1;
            if (!stack.isEmpty() && stack.last().object && stack.last().expectKey) {
                Level& level = stack.last();
                // The parser decodes the escapes, so "\u0061" and "a" are the same key.
                const QByteArray literal = '[' + json.mid(i, end - i + 1) + ']';
                const QString key = QJsonDocument::fromJson(literal).array().first().toString();
                lastKey = Reader::join(level.path, key);
                if (level.keys.contains(key))
                    found << lastKey;
                level.keys.insert(key);
                level.expectKey = false;
            }
            i = end;
        } else if (c == '{' || c == '[') {
            const QString path = stack.isEmpty()       ? QString()
                                 : stack.last().object ? lastKey
                                                       : stack.last().path;
            stack.append(Level{c == '{', path, {}, c == '{'});
        } else if ((c == '}' || c == ']') && !stack.isEmpty()) {
            stack.removeLast();
        } else if (c == ',' && !stack.isEmpty() && stack.last().object) {
            stack.last().expectKey = true;
        }
    }
    return found;
}

// The document's top level, with its format, version and source checked.
std::optional<QJsonObject> documentBody(Reader& r, const QJsonObject& document)
{
    const auto doc =
        r.object(document, QString(),
                 {"format", "version", "source", "print", "ethernet", "wifi", "wifiIp"});
    if (!doc)
        return std::nullopt;
    if (doc->value("format").toString() != QLatin1String("receipt-printer-settings"))
        r.error("format", Rpsetup::tr("应为以下之一：%1").arg("receipt-printer-settings"));
    if (doc->value("version").toDouble(-1) != SettingsDocumentVersion)
        r.error("version", Rpsetup::tr("不支持的版本"));
    if (doc->contains("source"))
        r.object(doc->value("source"), "source", {"product", "port", "path", "firmware"});
    return doc;
}

} // namespace

QJsonObject toDocument(const PrinterSettings& s, const QString& product, int port,
                       const QString& path)
{
    QJsonObject doc;
    doc["format"] = "receipt-printer-settings";
    doc["version"] = SettingsDocumentVersion;
    QJsonObject source{{"product", product}, {"port", port}};
    if (!path.isEmpty())
        source["path"] = path;
    if (s.firmware)
        source["firmware"] = *s.firmware;
    doc["source"] = source;

    QJsonObject print;
    if (s.speed)
        print["speed"] = choiceValue(choices::speed(), *s.speed);
    if (s.density)
        print["density"] = choiceValue(choices::density(), *s.density);
    if (s.alarm)
        print["alarm"] = choiceValue(choices::alarm(), *s.alarm);
    if (!print.isEmpty())
        doc["print"] = print;

    QJsonObject ethernet;
    if (s.ethernetIp) {
        ethernet["dhcp"] = s.ethernetIp->dhcp;
        ethernet["ip"] = formatAddress(s.ethernetIp->ip);
        ethernet["mask"] = formatAddress(s.ethernetIp->mask);
        ethernet["gateway"] = formatAddress(s.ethernetIp->gateway);
    }
    if (s.ethernetPorts) {
        ethernet["tcpPort"] = s.ethernetPorts->tcp;
        ethernet["udpPort"] = s.ethernetPorts->udp;
    }
    if (!ethernet.isEmpty())
        doc["ethernet"] = ethernet;

    QJsonObject wifi;
    if (s.wifiMode)
        wifi["mode"] = *s.wifiMode == WifiMode::Station ? "sta" : "ap";
    if (s.station)
        wifi["station"] = QJsonObject{{"ssid", s.station->name}, {"password", s.station->password}};
    if (s.accessPoint)
        wifi["accessPoint"] = QJsonObject{{"ssid", s.accessPoint->name},
                                          {"password", s.accessPoint->password},
                                          {"ip", s.accessPoint->address}};
    if (!wifi.isEmpty())
        doc["wifi"] = wifi;

    if (s.wifiIp) {
        doc["wifiIp"] = QJsonObject{{"dhcp", s.wifiIp->dhcp},
                                    {"ip", formatAddress(s.wifiIp->ip)},
                                    {"gateway", formatAddress(s.wifiIp->gateway)},
                                    {"mask", formatAddress(s.wifiIp->mask)},
                                    {"dns", formatAddress(s.wifiIp->dns)}};
    }
    return doc;
}

PrinterSettings fromDocument(const QJsonObject& document, DocumentErrors& errors)
{
    Reader r(errors);
    PrinterSettings s;
    const auto doc = documentBody(r, document);
    if (!doc)
        return {};

    if (doc->contains("print")) {
        if (const auto print =
                r.object(doc->value("print"), "print", {"speed", "density", "alarm"})) {
            if (print->contains("speed"))
                s.speed = r.choice(*print, "print", "speed", choices::speed());
            if (print->contains("density"))
                s.density = r.choice(*print, "print", "density", choices::density());
            if (print->contains("alarm"))
                s.alarm = r.choice(*print, "print", "alarm", choices::alarm());
        }
    }

    if (doc->contains("ethernet")) {
        const QStringList ipKeys{"dhcp", "ip", "mask", "gateway"};
        const QStringList portKeys{"tcpPort", "udpPort"};
        if (const auto eth = r.object(doc->value("ethernet"), "ethernet", ipKeys + portKeys)) {
            // Each item is written whole, so it is restored only when all its fields are there.
            const auto has = [&](const QStringList& keys) {
                for (const QString& key : keys)
                    if (eth->contains(key))
                        return true;
                return false;
            };
            if (has(ipKeys)) {
                const auto dhcp = r.flag(*eth, "ethernet", "dhcp");
                const auto ip = r.address(*eth, "ethernet", "ip");
                const auto mask = r.address(*eth, "ethernet", "mask");
                const auto gateway = r.address(*eth, "ethernet", "gateway");
                if (dhcp && ip && mask && gateway)
                    s.ethernetIp = EthernetIp{*dhcp, *ip, *mask, *gateway};
            }
            if (has(portKeys)) {
                const auto tcp = r.port(*eth, "ethernet", "tcpPort");
                const auto udp = r.port(*eth, "ethernet", "udpPort");
                if (tcp && udp)
                    s.ethernetPorts = EthernetPorts{*tcp, *udp};
            }
        }
    }

    if (doc->contains("wifi")) {
        if (const auto wifi =
                r.object(doc->value("wifi"), "wifi", {"mode", "station", "accessPoint"})) {
            if (wifi->contains("mode")) {
                if (const auto mode = r.choice(*wifi, "wifi", "mode", {"sta", "ap"}))
                    s.wifiMode = *mode == 0 ? WifiMode::Station : WifiMode::AccessPoint;
            }
            if (wifi->contains("station")) {
                if (const auto st =
                        r.object(wifi->value("station"), "wifi.station", {"ssid", "password"})) {
                    const auto name = r.text(*st, "wifi.station", "ssid");
                    const auto password = r.text(*st, "wifi.station", "password");
                    if (name && password) {
                        r.credentials("wifi.station", *name, *password);
                        s.station = StationSettings{*name, *password};
                    }
                }
            }
            if (wifi->contains("accessPoint")) {
                const QString path = "wifi.accessPoint";
                if (const auto ap =
                        r.object(wifi->value("accessPoint"), path, {"ssid", "password", "ip"})) {
                    const auto name = r.text(*ap, path, "ssid");
                    const auto password = r.text(*ap, path, "password");
                    const auto ip = r.text(*ap, path, "ip");
                    if (name && password && ip) {
                        r.credentials(path, *name, *password);
                        // A printer that never ran as an access point reports no address.
                        if (!ip->isEmpty() && !parseAddress(*ip))
                            r.error(path + ".ip", settingsErrorText(SettingsError::InvalidAddress));
                        s.accessPoint = AccessPointSettings{*name, *password, *ip};
                    }
                }
            }
            if (s.wifiMode &&
                validateWifiMode(*s.wifiMode, s.accessPoint ? s.accessPoint->address : QString()))
                r.error("wifi.accessPoint.ip", settingsErrorText(SettingsError::MissingApAddress));
        }
    }

    if (doc->contains("wifiIp")) {
        if (const auto ip = r.object(doc->value("wifiIp"), "wifiIp",
                                     {"dhcp", "ip", "gateway", "mask", "dns"})) {
            const auto dhcp = r.flag(*ip, "wifiIp", "dhcp");
            const auto address = r.address(*ip, "wifiIp", "ip");
            const auto gateway = r.address(*ip, "wifiIp", "gateway");
            const auto mask = r.address(*ip, "wifiIp", "mask");
            const auto dns = r.address(*ip, "wifiIp", "dns");
            if (dhcp && address && gateway && mask && dns)
                s.wifiIp = WifiIp{*dhcp, *address, *gateway, *mask, *dns};
        }
    }
    return errors.ok() ? s : PrinterSettings{};
}

std::optional<QJsonObject> parseDocumentText(const QByteArray& json, DocumentErrors& errors)
{
    // Qt 5's parser leaks the first of two objects under one key, so duplicates are found first.
    const QStringList duplicates = duplicateKeys(json);
    for (const QString& path : duplicates)
        errors.messages << QStringLiteral("%1: %2").arg(path, Rpsetup::tr("重复的键"));
    if (!duplicates.isEmpty())
        return std::nullopt;
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        errors.messages << Rpsetup::tr("不是有效的JSON：%1（第%2字节）")
                               .arg(parseError.errorString())
                               .arg(parseError.offset);
        return std::nullopt;
    }
    if (!doc.isObject()) {
        errors.messages << Rpsetup::tr("文件应为一个JSON对象");
        return std::nullopt;
    }
    return doc.object();
}

PrinterSettings fromDocumentText(const QByteArray& json, DocumentErrors& errors,
                                 QJsonObject* document)
{
    const auto object = parseDocumentText(json, errors);
    if (!object)
        return {};
    if (document)
        *document = *object;
    const PrinterSettings settings = fromDocument(*object, errors);
    return errors.ok() ? settings : PrinterSettings{};
}

SettingsChange changeFromDocument(const QJsonObject& document, DocumentErrors& errors)
{
    Reader r(errors);
    SettingsChange c;
    const auto doc = documentBody(r, document);
    if (!doc)
        return {};
    const auto section = [&](const QJsonObject& parent, const QString& path, const QString& key,
                             const QStringList& keys) -> std::optional<QJsonObject> {
        if (!parent.contains(key))
            return std::nullopt;
        return r.object(parent.value(key), Reader::join(path, key), keys);
    };
    // Each field is read only when given: the rest of its item stays as the printer holds it.
    const auto given = [](const QJsonObject& object, const QString& key, auto read) {
        return object.contains(key) ? read() : std::nullopt;
    };

    if (const auto print = section(*doc, QString(), "print", {"speed", "density", "alarm"})) {
        c.speed = given(*print, "speed",
                        [&] { return r.choice(*print, "print", "speed", choices::speed()); });
        c.density = given(*print, "density",
                          [&] { return r.choice(*print, "print", "density", choices::density()); });
        c.alarm = given(*print, "alarm",
                        [&] { return r.choice(*print, "print", "alarm", choices::alarm()); });
    }

    const QStringList ethernetKeys{"dhcp", "ip", "mask", "gateway", "tcpPort", "udpPort"};
    if (const auto eth = section(*doc, QString(), "ethernet", ethernetKeys)) {
        const QString p = "ethernet";
        c.ethDhcp = given(*eth, "dhcp", [&] { return r.flag(*eth, p, "dhcp"); });
        c.ethIp = given(*eth, "ip", [&] { return r.address(*eth, p, "ip"); });
        c.ethMask = given(*eth, "mask", [&] { return r.address(*eth, p, "mask"); });
        c.ethGateway = given(*eth, "gateway", [&] { return r.address(*eth, p, "gateway"); });
        c.tcpPort = given(*eth, "tcpPort", [&] { return r.port(*eth, p, "tcpPort"); });
        c.udpPort = given(*eth, "udpPort", [&] { return r.port(*eth, p, "udpPort"); });
    }

    if (const auto wifi = section(*doc, QString(), "wifi", {"mode", "station", "accessPoint"})) {
        if (const auto mode = given(*wifi, "mode", [&] {
                return r.choice(*wifi, "wifi", "mode", {"sta", "ap"});
            }))
            c.wifiMode = *mode == 0 ? WifiMode::Station : WifiMode::AccessPoint;
        if (const auto st = section(*wifi, "wifi", "station", {"ssid", "password"})) {
            const QString p = "wifi.station";
            c.ssid = given(*st, "ssid", [&] { return r.text(*st, p, "ssid"); });
            c.password = given(*st, "password", [&] { return r.text(*st, p, "password"); });
            r.credentials(p, c.ssid.value_or(QString()), c.password.value_or(QString()));
        }
        if (const auto ap = section(*wifi, "wifi", "accessPoint", {"ssid", "password", "ip"})) {
            const QString p = "wifi.accessPoint";
            c.apSsid = given(*ap, "ssid", [&] { return r.text(*ap, p, "ssid"); });
            c.apPassword = given(*ap, "password", [&] { return r.text(*ap, p, "password"); });
            r.credentials(p, c.apSsid.value_or(QString()), c.apPassword.value_or(QString()));
            // A backup of a printer that never ran as an access point has no address: it keeps
            // whatever the printer holds.
            if (ap->value("ip") != QJsonValue(QString()))
                c.apIp = given(*ap, "ip", [&] { return r.address(*ap, p, "ip"); });
        }
    }

    const QStringList wifiIpKeys{"dhcp", "ip", "gateway", "mask", "dns"};
    if (const auto ip = section(*doc, QString(), "wifiIp", wifiIpKeys)) {
        const QString p = "wifiIp";
        c.wifiIpDhcp = given(*ip, "dhcp", [&] { return r.flag(*ip, p, "dhcp"); });
        c.wifiIpIp = given(*ip, "ip", [&] { return r.address(*ip, p, "ip"); });
        c.wifiIpGateway = given(*ip, "gateway", [&] { return r.address(*ip, p, "gateway"); });
        c.wifiIpMask = given(*ip, "mask", [&] { return r.address(*ip, p, "mask"); });
        c.wifiIpDns = given(*ip, "dns", [&] { return r.address(*ip, p, "dns"); });
    }

    return errors.ok() ? c : SettingsChange{};
}
