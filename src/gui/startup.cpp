#include "startup.h"

#include <QApplication>

void prepareDisplayScaling()
{
    QApplication::setAttribute(Qt::AA_DisableHighDpiScaling);
    QApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    qputenv("QT_AUTO_SCREEN_SCALE_FACTOR", "1.5");
    qputenv("QT_SCALE_FACTOR", "1");
}
