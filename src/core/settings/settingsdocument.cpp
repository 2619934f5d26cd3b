#include "settings/settingsdocument.h"

#include "protocol/network.h"
#include "settings/items.h"
#include "settings/validation.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>

#include <cctype>
#include <cmath>

namespace {

// The document's messages are rpsetup's: it is the only program that reads documents.
struct Text
{
    Q_DECLARE_TR_FUNCTIONS(rpsetup)
};

QString join(const QString& path, const QString& key)
{
    return path.isEmpty() ? key : path + QLatin1Char('.') + key;
}

// Whether a value read from a printer is one the rules would refuse to send.
bool outsideRules(const FieldSpec& field, const FieldValue& value)
{
    switch (field.kind) {
    case FieldKind::Choice:
        return !choiceByName(field, fieldText(field, value));
    case FieldKind::Port:
        return std::get<std::uint16_t>(value) == 0;
    case FieldKind::Name:
        return holdsForeignBytes(std::get<QString>(value)) ||
               checkName(std::get<QString>(value)) != SettingsError::None;
    case FieldKind::Password:
        return holdsForeignBytes(std::get<QString>(value)) ||
               checkPassword(std::get<QString>(value)) != SettingsError::None;
    case FieldKind::ApAddress:
        // The printer stores the address as text, which need not be an address at all.
        return !parseAddress(std::get<QString>(value));
    default:
        return false;
    }
}

// A value the rules refuse is written in a form a typed value cannot take, so a restore sends it
// back as it is while typed values keep meeting the rules: a choice's byte as its number, a name,
// password or access-point address as {"hex": "..."} of its bytes (an empty address as "").
QJsonValue toJson(const FieldSpec& field, const FieldValue& value)
{
    const bool marked = outsideRules(field, value);
    switch (field.kind) {
    case FieldKind::Choice:
        if (marked)
            return int(std::get<std::uint8_t>(value));
        return fieldText(field, value);
    case FieldKind::OnOff:
        return std::get<bool>(value);
    case FieldKind::Port:
        return int(std::get<std::uint16_t>(value));
    case FieldKind::Name:
    case FieldKind::Password:
    case FieldKind::ApAddress:
        if (marked && !std::get<QString>(value).isEmpty())
            return QJsonObject{
                {"hex", QString::fromLatin1(bytesFromText(std::get<QString>(value)).toHex())}};
        return fieldText(field, value);
    default:
        return fieldText(field, value);
    }
}

// The bytes of {"hex": "..."}: pairs of hexadecimal digits, none of them 00, which would end the
// field on the wire.
std::optional<QString> hexText(const QJsonValue& value)
{
    const QJsonObject object = value.toObject();
    const QString digits = object.value("hex").toString();
    if (object.size() != 1 || !object.value("hex").isString() || digits.size() % 2 != 0)
        return std::nullopt;
    for (const QChar c : digits)
        if (!isxdigit(c.unicode() < 128 ? c.toLatin1() : 'x'))
            return std::nullopt;
    const QByteArray bytes = QByteArray::fromHex(digits.toLatin1());
    if (bytes.contains('\0'))
        return std::nullopt;
    return textFromBytes(bytes);
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
            error(path, Text::tr("应为对象"));
            return std::nullopt;
        }
        const QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it)
            if (!keys.contains(it.key()))
                error(join(path, it.key()), Text::tr("未知的键"));
        return object;
    }

    // One field's value, checked by its kind's rule; nothing after reporting why. An empty
    // access-point address means the printer never had one: a whole item keeps it empty, a
    // change leaves the printer's as it is.
    // The marked forms of values as a printer held them (a choice's unnamed byte, port 0, hex
    // bytes, an empty name or access-point address) set held: the rules do not apply to them.
    std::optional<FieldValue> field(const FieldSpec& field, const QJsonValue& value,
                                    const QString& path, bool whole, bool& held)
    {
        held = false;
        if (field.kind == FieldKind::OnOff) {
            if (!value.isBool())
                return fail(path, Text::tr("应为true或false"));
            return FieldValue(value.toBool());
        }
        if (field.kind == FieldKind::Port ||
            (field.kind == FieldKind::Choice && value.isDouble())) {
            const int top = field.kind == FieldKind::Port ? 65535 : 255;
            const double number = value.toDouble(-1);
            // The range comes first: converting a double outside int's range is undefined.
            if (!value.isDouble() || !(number >= 0 && number <= top) ||
                number != std::floor(number))
                return field.kind == FieldKind::Port
                           ? fail(path, settingsErrorText(SettingsError::InvalidPort))
                           : choiceError(field, path);
            if (field.kind == FieldKind::Port) {
                held = number == 0;
                return FieldValue(std::uint16_t(number));
            }
            // Only a byte without a name is written as a number.
            held = true;
            const FieldValue byte{std::uint8_t(number)};
            return outsideRules(field, byte) ? std::optional<FieldValue>(byte)
                                             : choiceError(field, path);
        }
        if ((field.kind == FieldKind::Name || field.kind == FieldKind::Password ||
             field.kind == FieldKind::ApAddress) &&
            value.isObject()) {
            held = true;
            if (const auto text = hexText(value))
                return FieldValue(*text);
            return fail(path, Text::tr("应为 {\"hex\": \"…\"}，成对的十六进制数字，不含00"));
        }
        if (!value.isString())
            return fail(path, Text::tr("应为文本"));
        held = value.toString().isEmpty() &&
               (field.kind == FieldKind::Name || field.kind == FieldKind::ApAddress);
        return text(field, value.toString(), path, whole);
    }

private:
    std::optional<FieldValue> fail(const QString& path, const QString& message)
    {
        error(path, message);
        return std::nullopt;
    }

    std::optional<FieldValue> choiceError(const FieldSpec& field, const QString& path)
    {
        return fail(path,
                    Text::tr("应为以下之一：%1").arg(choiceNames(field).join(QLatin1String(", "))));
    }

    std::optional<FieldValue> text(const FieldSpec& field, const QString& text, const QString& path,
                                   bool whole)
    {
        switch (field.kind) {
        case FieldKind::Choice:
            if (const auto byte = choiceByName(field, text))
                return FieldValue(*byte);
            return choiceError(field, path);
        case FieldKind::ApAddress:
            if (text.isEmpty())
                return whole ? std::optional<FieldValue>(QString()) : std::nullopt;
            [[fallthrough]];
        case FieldKind::IpAddress:
            if (const auto address = parseAddress(text))
                return field.kind == FieldKind::IpAddress ? FieldValue(*address)
                                                          : FieldValue(formatAddress(*address));
            return fail(path, settingsErrorText(SettingsError::InvalidAddress));
        case FieldKind::Name:
            if (const SettingsError e = checkName(text); e != SettingsError::None)
                return fail(path, settingsErrorText(e));
            return FieldValue(text);
        case FieldKind::Password:
            if (const SettingsError e = checkPassword(text); e != SettingsError::None)
                return fail(path, settingsErrorText(e));
            return FieldValue(text);
        default:
            return FieldValue(text);
        }
    }

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
                lastKey = join(level.path, key);
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

// The writable items' sections in document order, each once.
QStringList sections()
{
    QStringList names;
    for (const ItemSpec& item : settingsItems())
        if (!item.readOnly && !names.contains(QLatin1String(item.section)))
            names << QString::fromLatin1(item.section);
    return names;
}

// The keys an object of the document may hold: the fields of the items that sit in it, and the
// objects of the items below it.
QStringList keysAt(const QString& path)
{
    QStringList keys;
    for (const ItemSpec& item : settingsItems()) {
        if (item.path() == path)
            for (const FieldSpec& f : item.fields)
                keys << QString::fromLatin1(f.jsonKey);
        else if (item.object && path == QLatin1String(item.section))
            keys << QString::fromLatin1(item.object);
    }
    return keys;
}

// The document's top level, with its format, version and source checked.
std::optional<QJsonObject> documentBody(Reader& r, const QJsonObject& document)
{
    auto doc =
        r.object(document, QString(), QStringList{"format", "version", "source"} + sections());
    if (!doc)
        return std::nullopt;
    if (doc->value("format").toString() != QLatin1String("receipt-printer-settings"))
        r.error("format", Text::tr("应为以下之一：%1").arg("receipt-printer-settings"));
    if (doc->value("version").toDouble(-1) != SettingsDocumentVersion)
        r.error("version", Text::tr("不支持的版本"));
    if (doc->contains("source"))
        r.object(doc->value("source"), "source", {"product", "port", "path", "firmware"});
    return doc;
}

// Whether the item has its document object to itself: its own object, or a section no other
// item shares (wifiIp).
bool ownsObject(const ItemSpec& item)
{
    return item.object || keysAt(item.path()).size() == int(item.fields.size());
}

// An item is named by an object of its own, or in an object it shares by any of its keys; a
// whole item then needs every field.
void readItemFields(Reader& r, const ItemSpec& item, const QJsonObject& container, bool whole,
                    SettingsChange& change)
{
    bool named = ownsObject(item);
    for (const FieldSpec& f : item.fields)
        named = named || container.contains(QLatin1String(f.jsonKey));
    if (!named)
        return;
    for (const FieldSpec& f : item.fields) {
        const QString path = join(item.path(), f.jsonKey);
        const QJsonValue value = container.value(QLatin1String(f.jsonKey));
        if (value.isUndefined()) {
            if (whole)
                r.error(path, Text::tr("缺少此项"));
            continue;
        }
        bool held = false;
        const auto v = r.field(f, value, path, whole, held);
        if (v)
            change.values[f.id] = *v;
        // Also an empty access-point address in a change, which stands for the printer's own,
        // whatever it is.
        if (held)
            change.asHeld.insert(f.id);
    }
}

// Every writable item the document names, each field checked by its rule. A whole read names
// only items with all their fields, as a backup holds them.
SettingsChange readDocument(const QJsonObject& document, DocumentErrors& errors, bool whole)
{
    Reader r(errors);
    SettingsChange change;
    const auto doc = documentBody(r, document);
    if (!doc)
        return {};
    for (const QString& name : sections()) {
        if (!doc->contains(name))
            continue;
        const auto section = r.object(doc->value(name), name, keysAt(name));
        if (!section)
            continue;
        for (const ItemSpec& item : settingsItems()) {
            if (item.readOnly || name != QLatin1String(item.section))
                continue;
            if (!item.object) {
                readItemFields(r, item, *section, whole, change);
            } else if (section->contains(QLatin1String(item.object))) {
                if (const auto own = r.object(section->value(QLatin1String(item.object)),
                                              item.path(), keysAt(item.path())))
                    readItemFields(r, item, *own, whole, change);
            }
        }
    }
    return errors.ok() ? change : SettingsChange{};
}

} // namespace

QStringList valuesKeptAsHeld(const PrinterSettings& s)
{
    QStringList paths;
    for (const ItemSpec& item : settingsItems())
        if (item.has(s) && !item.readOnly)
            for (const FieldSpec& f : item.fields)
                if (outsideRules(f, f.get(s)))
                    paths << join(item.path(), QLatin1String(f.jsonKey));
    return paths;
}

QJsonObject toDocument(const PrinterSettings& s, const QString& product, int port,
                       const QString& path)
{
    QJsonObject doc;
    doc["format"] = "receipt-printer-settings";
    doc["version"] = SettingsDocumentVersion;
    QJsonObject source{{"product", product}, {"port", port}};
    if (!path.isEmpty())
        source["path"] = path;
    doc["source"] = source;
    for (const ItemSpec& item : settingsItems()) {
        if (!item.has(s))
            continue;
        QJsonObject section = doc.value(QLatin1String(item.section)).toObject();
        QJsonObject own =
            item.object ? section.value(QLatin1String(item.object)).toObject() : section;
        for (const FieldSpec& f : item.fields)
            own[QLatin1String(f.jsonKey)] = toJson(f, f.get(s));
        if (item.object)
            section[QLatin1String(item.object)] = own;
        else
            section = own;
        doc[QLatin1String(item.section)] = section;
    }
    return doc;
}

SettingsChange changeFromDocument(const QJsonObject& document, DocumentErrors& errors)
{
    return readDocument(document, errors, false);
}

PrinterSettings fromDocument(const QJsonObject& document, DocumentErrors& errors)
{
    const SettingsChange change = readDocument(document, errors, true);
    PrinterSettings s;
    writeChange(change, s);
    if (const QString oversized = oversizedItem(s); !oversized.isEmpty())
        errors.messages << oversized;
    if (s.wifiMode) {
        const ItemSpec& mode = itemSpec(ItemWifiMode);
        if (const SettingsProblem p = mode.validate(s); p && !change.asHeld.count(p.field))
            errors.messages << QStringLiteral("%1: %2").arg(
                join(itemOf(p.field).path(), QLatin1String(fieldSpec(p.field).jsonKey)),
                settingsErrorText(p.error));
    }
    return errors.ok() ? s : PrinterSettings{};
}

std::optional<QJsonObject> parseDocumentText(const QByteArray& json, DocumentErrors& errors)
{
    // Qt 5's parser leaks the first of two objects under one key, so duplicates are found first.
    const QStringList duplicates = duplicateKeys(json);
    for (const QString& path : duplicates)
        errors.messages << QStringLiteral("%1: %2").arg(path, Text::tr("重复的键"));
    if (!duplicates.isEmpty())
        return std::nullopt;
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        errors.messages << Text::tr("不是有效的JSON：%1（第%2字节）")
                               .arg(parseError.errorString())
                               .arg(parseError.offset);
        return std::nullopt;
    }
    if (!doc.isObject()) {
        errors.messages << Text::tr("文件应为一个JSON对象");
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
