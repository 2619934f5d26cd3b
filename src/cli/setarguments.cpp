#include "setarguments.h"

#include "rpsetuptr.h"

#include "protocol/rawtext.h"
#include "settings/fieldcodecs.h"

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
        const auto value =
            field ? codecOf(field->kind).fromArgument(*field, argument.mid(eq + 1), rule)
                  : std::nullopt;
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
