#include "startup.h"

#include <QApplication>
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
#include <QTextCodec>
#endif

void prepareDisplayScaling()
{
    // Qt 6 always scales for high-resolution screens and deprecates these switches.
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    QApplication::setAttribute(Qt::AA_DisableHighDpiScaling);
    QApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    qputenv("QT_AUTO_SCREEN_SCALE_FACTOR", "1.5");
    qputenv("QT_SCALE_FACTOR", "1");
#endif
}

void useUtf8ForLocale()
{
    // Qt 6 takes the locale's 8-bit text as UTF-8 always, and has no codec to set.
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
#endif
}
