#include "mainwindow.h"
#include "startup.h"

#include <QApplication>
#include <QIcon>
#include <QLocale>
#include <QTranslator>

int main(int argc, char* argv[])
{
    prepareDisplayScaling();

    QApplication app(argc, argv);
    QIcon icon;
    for (int size : {48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/%1/receipt-printer-setup.png").arg(size),
                     QSize(size, size));
    app.setWindowIcon(icon);
    QTranslator translator;
    QLocale locale = QLocale::system();
    // Before the window exists, so that its form is built in the chosen language.
    installTranslation(app, translator, locale);

    int result;
    {
        MainWindow window;
        window.setWindowTitle(applicationTitle());
        useUtf8ForLocale();
        window.show();
        result = app.exec();
    }
    return result;
}
