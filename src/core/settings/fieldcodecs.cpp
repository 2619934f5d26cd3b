#include "settings/fieldcodecs.h"

#include "settings/validation.h"

#include <QCoreApplication>
#include <QJsonObject>

#include <cctype>
#include <cmath>

namespace {

// The messages are rpsetup's: the windows check their fields with the rules directly.
struct Text
{
    Q_DECLARE_TR_FUNCTIONS(rpsetup)
};

JsonField refused(const QString& message)
{
    return JsonField{std::nullopt, message, false};
}

JsonField refused(SettingsError error)
{
    return refused(settingsErrorText(error));
}

QString choiceRule(const FieldSpec& field)
{
    return Text::tr("应为以下之一：%1").arg(choiceNames(field).join(QLatin1String(", ")));
}

// A whole number from 0 to top; nothing for any other value.
std::optional<int> wholeNumber(const QJsonValue& value, int top)
{
    const double number = value.toDouble(-1);
    // The range comes first: converting a double outside int's range is undefined.
    if (!value.isDouble() || !(number >= 0 && number <= top) || number != std::floor(number))
        return std::nullopt;
    return int(number);
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

QString plainText(const FieldSpec&, const FieldValue& value)
{
    return std::get<QString>(value);
}

bool neverOutside(const FieldSpec&, const FieldValue&)
{
    return false;
}

QJsonValue textToJson(const FieldSpec& field, const FieldValue& value)
{
    return codecOf(field.kind).text(field, value);
}

// Choice: a byte named by the field's list; a byte off the list stays a number.

QString choiceText(const FieldSpec& field, const FieldValue& value)
{
    const std::uint8_t byte = std::get<std::uint8_t>(value);
    for (const ChoiceName& c : field.choices)
        if (c.value == byte)
            return QString::fromLatin1(c.name);
    return QStringLiteral("unknown (0x%1)")
        .arg(QString::number(byte, 16).toUpper().rightJustified(2, QLatin1Char('0')));
}

std::optional<FieldValue> choiceArgument(const FieldSpec& field, const QString& text, QString& rule)
{
    if (const auto byte = choiceByName(field, text))
        return FieldValue(*byte);
    rule = choiceRule(field);
    return std::nullopt;
}

bool choiceOutside(const FieldSpec& field, const FieldValue& value)
{
    return !choiceByName(field, choiceText(field, value));
}

QJsonValue choiceToJson(const FieldSpec& field, const FieldValue& value)
{
    if (choiceOutside(field, value))
        return int(std::get<std::uint8_t>(value));
    return choiceText(field, value);
}

JsonField choiceFromJson(const FieldSpec& field, const QJsonValue& value, bool)
{
    if (value.isDouble()) {
        // Only a byte without a name is written as a number.
        const auto number = wholeNumber(value, 255);
        const FieldValue byte{std::uint8_t(number.value_or(0))};
        if (!number || !choiceOutside(field, byte))
            return refused(choiceRule(field));
        return JsonField{byte, QString(), true};
    }
    if (!value.isString())
        return refused(Text::tr("应为文本"));
    if (const auto byte = choiceByName(field, value.toString()))
        return JsonField{FieldValue(*byte), QString(), false};
    return refused(choiceRule(field));
}

// OnOff: "on"/"off" after `set`'s "=" (its choices), true/false in the document.

QString onOffText(const FieldSpec&, const FieldValue& value)
{
    return std::get<bool>(value) ? QStringLiteral("on") : QStringLiteral("off");
}

std::optional<FieldValue> onOffArgument(const FieldSpec& field, const QString& text, QString& rule)
{
    if (const auto byte = choiceByName(field, text))
        return FieldValue(*byte != 0);
    rule = choiceRule(field);
    return std::nullopt;
}

QJsonValue onOffToJson(const FieldSpec&, const FieldValue& value)
{
    return std::get<bool>(value);
}

JsonField onOffFromJson(const FieldSpec&, const QJsonValue& value, bool)
{
    if (!value.isBool())
        return refused(Text::tr("应为true或false"));
    return JsonField{FieldValue(value.toBool()), QString(), false};
}

// IpAddress: four bytes as dotted decimal.

QString addressText(const FieldSpec&, const FieldValue& value)
{
    return formatAddress(std::get<Address>(value));
}

std::optional<FieldValue> addressArgument(const FieldSpec&, const QString& text, QString& rule)
{
    Address a;
    if (const SettingsError e = checkAddressText(text, AddressUse::Typed, a);
        e != SettingsError::None) {
        rule = settingsErrorText(e);
        return std::nullopt;
    }
    return FieldValue(a);
}

JsonField addressFromJson(const FieldSpec&, const QJsonValue& value, bool)
{
    if (!value.isString())
        return refused(Text::tr("应为文本"));
    Address address;
    if (const SettingsError e = checkAddressText(value.toString(), AddressUse::Typed, address);
        e != SettingsError::None)
        return refused(e);
    return JsonField{FieldValue(address), QString(), false};
}

// ApAddress: the access point's own address, kept as the text the printer stores.

std::optional<FieldValue> apAddressArgument(const FieldSpec& field, const QString& text,
                                            QString& rule)
{
    const auto address = addressArgument(field, text, rule);
    if (!address)
        return std::nullopt;
    return FieldValue(formatAddress(std::get<Address>(*address)));
}

// The printer stores the address as text, which need not be an address at all.
bool apAddressOutside(const FieldSpec&, const FieldValue& value)
{
    return !parseAddress(std::get<QString>(value));
}

// Such text is kept as {"hex": "..."} of its bytes, so restore takes back what backup wrote; an
// empty one stays "".
QJsonValue apAddressToJson(const FieldSpec& field, const FieldValue& value)
{
    const QString& text = std::get<QString>(value);
    if (!text.isEmpty() && apAddressOutside(field, value))
        return QJsonObject{{"hex", QString::fromLatin1(bytesFromText(text).toHex())}};
    return text;
}

// An empty address means the printer never had one: a whole item keeps it empty, a change
// leaves the printer's as it is.
JsonField apAddressFromJson(const FieldSpec& field, const QJsonValue& value, bool whole)
{
    if (value.isObject()) {
        if (const auto text = hexText(value))
            return JsonField{FieldValue(*text), QString(), true};
        return JsonField{std::nullopt,
                         Text::tr("应为 {\"hex\": \"…\"}，成对的十六进制数字，不含00"), true};
    }
    if (value.isString() && value.toString().isEmpty())
        return JsonField{whole ? std::optional<FieldValue>(QString()) : std::nullopt, QString(),
                         true};
    JsonField read = addressFromJson(field, value, whole);
    if (read.value)
        read.value = FieldValue(formatAddress(std::get<Address>(*read.value)));
    return read;
}

// Port: 1 to 65535 typed; 0 as a printer may hold it.

QString portText(const FieldSpec&, const FieldValue& value)
{
    return QString::number(std::get<std::uint16_t>(value));
}

std::optional<FieldValue> portArgument(const FieldSpec&, const QString& text, QString& rule)
{
    std::uint16_t port = 0;
    if (const SettingsError e = checkPortText(text, port); e != SettingsError::None) {
        rule = settingsErrorText(e);
        return std::nullopt;
    }
    return FieldValue(port);
}

bool portOutside(const FieldSpec&, const FieldValue& value)
{
    return std::get<std::uint16_t>(value) == 0;
}

QJsonValue portToJson(const FieldSpec&, const FieldValue& value)
{
    return int(std::get<std::uint16_t>(value));
}

JsonField portFromJson(const FieldSpec&, const QJsonValue& value, bool)
{
    const auto number = wholeNumber(value, 65535);
    if (!number)
        return refused(SettingsError::InvalidPort);
    return JsonField{FieldValue(std::uint16_t(*number)), QString(), *number == 0};
}

// Name and Password: bytes the printer stores, checked by their rule; a value outside it, as a
// printer may hold it, is kept as {"hex": "..."} of its bytes.

template <SettingsError (*Check)(const QString&)>
std::optional<FieldValue> wifiTextArgument(const FieldSpec&, const QString& text, QString& rule)
{
    // Arguments keep the bytes that are not UTF-8, for file names; a name or password typed with
    // them would reach the printer unchecked, where the same character typed in UTF-8 meets the
    // rules.
    if (holdsForeignBytes(text)) {
        rule = Text::tr("不是有效的UTF-8文本");
        return std::nullopt;
    }
    if (const SettingsError e = Check(text); e != SettingsError::None) {
        rule = settingsErrorText(e);
        return std::nullopt;
    }
    return FieldValue(text);
}

template <SettingsError (*Check)(const QString&)>
bool wifiTextOutside(const FieldSpec&, const FieldValue& value)
{
    const QString& text = std::get<QString>(value);
    return holdsForeignBytes(text) || Check(text) != SettingsError::None;
}

template <SettingsError (*Check)(const QString&)>
QJsonValue wifiTextToJson(const FieldSpec& field, const FieldValue& value)
{
    if (wifiTextOutside<Check>(field, value))
        return QJsonObject{
            {"hex", QString::fromLatin1(bytesFromText(std::get<QString>(value)).toHex())}};
    return std::get<QString>(value);
}

// An empty name is a printer that never had one, so it too is as held; an empty password is an
// open network, which the rule takes.
template <SettingsError (*Check)(const QString&), bool EmptyHeld>
JsonField wifiTextFromJson(const FieldSpec&, const QJsonValue& value, bool)
{
    if (value.isObject()) {
        if (const auto text = hexText(value))
            return JsonField{FieldValue(*text), QString(), true};
        return JsonField{std::nullopt,
                         Text::tr("应为 {\"hex\": \"…\"}，成对的十六进制数字，不含00"), true};
    }
    if (!value.isString())
        return refused(Text::tr("应为文本"));
    const QString text = value.toString();
    const bool held = EmptyHeld && text.isEmpty();
    if (const SettingsError e = Check(text); e != SettingsError::None)
        return JsonField{std::nullopt, settingsErrorText(e), held};
    return JsonField{FieldValue(text), QString(), held};
}

// Text: read-only, never typed nor restored.

std::optional<FieldValue> noArgument(const FieldSpec&, const QString&, QString&)
{
    return std::nullopt;
}

JsonField textFromJson(const FieldSpec&, const QJsonValue& value, bool)
{
    if (!value.isString())
        return refused(Text::tr("应为文本"));
    return JsonField{FieldValue(value.toString()), QString(), false};
}

const FieldCodec ChoiceCodec{choiceText,   choiceArgument, choiceOutside,
                             choiceToJson, choiceFromJson, false};
const FieldCodec OnOffCodec{onOffText,   onOffArgument, neverOutside,
                            onOffToJson, onOffFromJson, false};
const FieldCodec IpAddressCodec{addressText, addressArgument, neverOutside,
                                textToJson,  addressFromJson, false};
const FieldCodec PortCodec{portText, portArgument, portOutside, portToJson, portFromJson, false};
const FieldCodec NameCodec{plainText,
                           wifiTextArgument<checkName>,
                           wifiTextOutside<checkName>,
                           wifiTextToJson<checkName>,
                           wifiTextFromJson<checkName, true>,
                           false};
const FieldCodec PasswordCodec{plainText,
                               wifiTextArgument<checkPassword>,
                               wifiTextOutside<checkPassword>,
                               wifiTextToJson<checkPassword>,
                               wifiTextFromJson<checkPassword, false>,
                               true};
const FieldCodec ApAddressCodec{plainText,       apAddressArgument, apAddressOutside,
                                apAddressToJson, apAddressFromJson, false};
const FieldCodec TextCodec{plainText, noArgument, neverOutside, textToJson, textFromJson, false};

} // namespace

// Without a default, a kind without a codec does not compile.
const FieldCodec& codecOf(FieldKind kind)
{
    switch (kind) {
    case FieldKind::Choice:
        return ChoiceCodec;
    case FieldKind::OnOff:
        return OnOffCodec;
    case FieldKind::IpAddress:
        return IpAddressCodec;
    case FieldKind::Port:
        return PortCodec;
    case FieldKind::Name:
        return NameCodec;
    case FieldKind::Password:
        return PasswordCodec;
    case FieldKind::ApAddress:
        return ApAddressCodec;
    case FieldKind::Text:
        return TextCodec;
    }
    Q_UNREACHABLE();
}

bool isSecret(const FieldSpec& field)
{
    return codecOf(field.kind).secret;
}
