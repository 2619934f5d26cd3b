#include "i18n/translation.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>

bool installTranslation(QCoreApplication& app, QTranslator& translator, const QLocale& locale)
{
    if (locale.language() == QLocale::Chinese) {
        qDebug("System language is not English, skipping translation.");
        return false;
    }
    if (!translator.load(QStringLiteral("language_en.qm"), QStringLiteral(":/translations/"))) {
        qWarning("Failed to load translation file.");
        return false;
    }
    qDebug("Translation file loaded successfully.");
    app.installTranslator(&translator);
    return true;
}
