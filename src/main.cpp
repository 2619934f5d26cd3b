#include "mainwindow.h"

#include <QApplication>
#include <QLocale>
#include <QTextCodec>
#include <QTranslator>

int main(int argc, char* argv[])
{
    QApplication::setAttribute(Qt::AA_DisableHighDpiScaling);
    QApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    qputenv("QT_AUTO_SCREEN_SCALE_FACTOR", "1.5");
    qputenv("QT_SCALE_FACTOR", "1");

    QApplication app(argc, argv);
    QTranslator translator;
    QLocale locale = QLocale::system();
    if (locale.language() == QLocale::Chinese) {
        qDebug("System language is not English, skipping translation.");
    } else if (translator.load(QStringLiteral("language_en.qm"), QStringLiteral(":/translations/"))) {
        qDebug("Translation file loaded successfully.");
        app.installTranslator(&translator);
    } else {
        qWarning("Failed to load translation file.");
    }

    int result;
    {
        MainWindow window;
        window.setWindowTitle(QObject::tr("票据机设置工具"));
        QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
        window.show();
        result = app.exec();
    }
    return result;
}
