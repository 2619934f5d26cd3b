// Renders each window after Get, in Chinese and in English, into OUTDIR/<window>-<language>.png.
// Run under printer-sim --demo on the offscreen platform (the screenshots target does).

#include "i18n/translation.h"
#include "mainwindow.h"
#include "net_set.h"
#include "startup.h"
#include "wifi.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QMessageBox>
#include <QTextCodec>
#include <QTimer>
#include <QTranslator>

#include <cstdio>

namespace {

// Dots per metre of 96 dpi, so that the pictures show at their size.
constexpr int DotsPerMetre = 3780;

template <class Window> Window* openWindow()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<Window*>(widget))
            return window;
    return nullptr;
}

void click(QWidget* window, const char* button)
{
    window->findChild<QAbstractButton*>(QLatin1String(button))->click();
}

bool save(QWidget* window, const QString& path)
{
    QImage image = window->grab().toImage();
    image.setDotsPerMeterX(DotsPerMetre);
    image.setDotsPerMeterY(DotsPerMetre);
    if (!image.save(path, "PNG", 9)) {
        std::fprintf(stderr, "render-screenshots: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

bool render(const QDir& out, const QString& language)
{
    QTranslator translator;
    installTranslation(*qApp, translator, QLocale(language));
    MainWindow main;
    main.setWindowTitle(applicationTitle());
    main.show();
    click(&main, "pushButton_7");
    // The first demo printer, the one the README's examples use.
    auto* selector = main.findChild<QComboBox*>(QStringLiteral("comboBox_4"));
    selector->setCurrentIndex(selector->findText(QStringLiteral("USB001"), Qt::MatchEndsWith));
    click(&main, "pushButton");
    click(&main, "pushButton_3");
    // Its status goes to the status bar, so the picture shows the tool bar's action at work. The
    // Ethernet window's check is left alone: it would connect to the printer's own address.
    main.findChild<QAction*>(QStringLiteral("actionPrinterStatus"))->trigger();
    bool saved = save(&main, out.filePath("main-" + language.left(2) + ".png"));

    click(&main, "pushButton_8");
    click(&main, "pushButton_9");
    net_set* ethernet = openWindow<net_set>();
    wifi* wireless = openWindow<wifi>();
    if (!ethernet || !wireless) {
        std::fprintf(stderr,
                     "render-screenshots: no printer answered; run under printer-sim --demo\n");
        return false;
    }
    click(ethernet, "pushButton");
    click(wireless, "pushButton");
    click(wireless, "pushButton_3");
    saved = save(ethernet, out.filePath("ethernet-" + language.left(2) + ".png")) && saved;
    saved = save(wireless, out.filePath("wifi-" + language.left(2) + ".png")) && saved;
    ethernet->close();
    wireless->close();
    // The closed windows go at the next turn of an event loop, which this program never runs.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return saved;
}

} // namespace

int main(int argc, char* argv[])
{
    prepareDisplayScaling();
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "Usage: render-screenshots OUTDIR\n");
        return 2;
    }
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
    // Every Get ends in a message box; answer it so the next step runs.
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            box->accept();
    });
    answer.start(5);
    const QDir out(QString::fromLocal8Bit(argv[1]));
    const bool chinese = render(out, QStringLiteral("zh_CN"));
    const bool english = render(out, QStringLiteral("en_US"));
    return chinese && english ? 0 : 1;
}
