#include "setarguments.h"

#include "rpsetuptr.h"

#include "protocol/rawtext.h"
#include "settings/validation.h"

namespace {

QStringList keys()
{
    QStringList list;
    for (const ItemSpec& item : settingsItems())
        for (const FieldSpec& f : item.fields)
            if (fieldForKey(QLatin1String(f.key)))
                list << QString::fromLatin1(f.key);
    return list;
}

// Arguments keep the bytes that are not UTF-8, for file names; a name or password typed with
// them would reach the printer unchecked, where the same character typed in UTF-8 meets the rules.
bool typedAsUtf8(const QString& value, QString& rule)
{
    if (!holdsForeignBytes(value))
        return true;
    rule = Rpsetup::tr("不是有效的UTF-8文本");
    return false;
}

// The value of one key, or the rule it breaks.
std::optional<FieldValue> parseValue(const FieldSpec& field, const QString& value, QString& rule)
{
    const auto refused = [&](SettingsError e) {
        rule = settingsErrorText(e);
        return e != SettingsError::None;
    };
    switch (field.kind) {
    case FieldKind::Choice:
    case FieldKind::OnOff:
        if (const auto byte = choiceByName(field, value))
            return field.kind == FieldKind::OnOff ? FieldValue(*byte != 0) : FieldValue(*byte);
        rule = Rpsetup::tr("应为以下之一：%1").arg(keyValues(field).replace('|', ", "));
        return std::nullopt;
    case FieldKind::IpAddress:
    case FieldKind::ApAddress: {
        Address a;
        if (refused(checkAddressText(value, AddressUse::Typed, a)))
            return std::nullopt;
        return field.kind == FieldKind::IpAddress ? FieldValue(a) : FieldValue(formatAddress(a));
    }
    case FieldKind::Port: {
        std::uint16_t port = 0;
        if (refused(checkPortText(value, port)))
            return std::nullopt;
        return FieldValue(port);
    }
    case FieldKind::Name:
        if (!typedAsUtf8(value, rule) || refused(checkName(value)))
            return std::nullopt;
        return FieldValue(value);
    case FieldKind::Password:
        if (!typedAsUtf8(value, rule) || refused(checkPassword(value)))
            return std::nullopt;
        return FieldValue(value);
    case FieldKind::Text:
        break;
    }
    return std::nullopt;
}

} // namespace

QString keyValues(const FieldSpec& field)
{
    return choiceNames(field).join(QLatin1Char('|'));
}

bool parseChange(const QStringList& arguments, SettingsChange& change, QString& error)
{
    if (arguments.isEmpty()) {
        error = Rpsetup::tr("请指定要设置的项，例如 speed=normal");
        return false;
    }
    for (const QString& argument : arguments) {
        const int eq = argument.indexOf(QLatin1Char('='));
        const QString key = eq < 0 ? argument : argument.left(eq);
        const FieldSpec* field = eq < 0 ? nullptr : fieldForKey(key);
        QString rule;
        const auto value = field ? parseValue(*field, argument.mid(eq + 1), rule) : std::nullopt;
        if (!field)
            rule = Rpsetup::tr("未知的键，可用：%1").arg(keys().join(QLatin1String(", ")));
        else if (value && change.has(field->id))
            rule = Rpsetup::tr("重复的键");
        if (!value || !rule.isEmpty()) {
            error = QStringLiteral("%1: %2").arg(key, rule);
            return false;
        }
        change.values[field->id] = *value;
    }
    return true;
}
