#include "startup.h"

#include <QApplication>
#include <QLocale>
#include <QTranslator>

void prepareDisplayScaling()
{
    QApplication::setAttribute(Qt::AA_DisableHighDpiScaling);
    QApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    qputenv("QT_AUTO_SCREEN_SCALE_FACTOR", "1.5");
    qputenv("QT_SCALE_FACTOR", "1");
}

bool installTranslation(QApplication& app, QTranslator& translator, const QLocale& locale)
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

QString applicationTitle()
{
    return QObject::tr("票据机设置工具");
}
