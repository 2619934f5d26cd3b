// Preloaded into the packaged program: once its window is up, presses Refresh as a user would and
// prints what the selector offers, so that the test sees the installed binary list printers.
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

static void pressRefresh()
{
    QTimer::singleShot(0, [] {
        QWidget* window = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            window = w->objectName() == QLatin1String("MainWindow") ? w : window;
        if (!window)
            return QApplication::exit(1);
        window->findChild<QPushButton*>("pushButton_7")->click();
        auto* selector = window->findChild<QComboBox*>("comboBox_4");
        selector->showPopup();
        const QFontMetrics metrics(selector->view()->font());
        for (int i = 0; i < selector->count(); ++i) {
            const QString text = selector->itemText(i);
            std::printf("%s|tooltip %s|%s\n", qPrintable(text),
                        qPrintable(selector->itemData(i, Qt::ToolTipRole).toString()),
                        selector->view()->viewport()->width() > metrics.horizontalAdvance(text)
                            ? "fits"
                            : "cut");
        }
        std::printf("icon %s\n", QApplication::windowIcon().pixmap(48).isNull() ? "none" : "set");
        QApplication::exit(0);
    });
}
Q_COREAPP_STARTUP_FUNCTION(pressRefresh)
