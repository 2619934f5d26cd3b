#include "accessibilitytext.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <climits>

namespace {

struct Description
{
    const char* window;
    const char* button;
    const char* text;
};

const Description Descriptions[] = {
    {"MainWindow", "pushButton", QT_TRANSLATE_NOOP("Accessibility", "读取打印机设置")},
    {"MainWindow", "pushButton_2", QT_TRANSLATE_NOOP("Accessibility", "写入打印机设置")},
    {"MainWindow", "pushButton_3", QT_TRANSLATE_NOOP("Accessibility", "读取打印机固件版本日期")},
    {"net_set", "pushButton", QT_TRANSLATE_NOOP("Accessibility", "读取网口设置")},
    {"net_set", "pushButton_2", QT_TRANSLATE_NOOP("Accessibility", "写入网口设置")},
    {"net_set", "checkAddressButton",
     QT_TRANSLATE_NOOP("Accessibility", "检查打印机是否在此地址和TCP端口应答")},
    {"wifi", "pushButton", QT_TRANSLATE_NOOP("Accessibility", "读取wifi设置")},
    {"wifi", "pushButton_2", QT_TRANSLATE_NOOP("Accessibility", "写入wifi设置")},
    {"wifi", "pushButton_3", QT_TRANSLATE_NOOP("Accessibility", "读取wifi_ip设置")},
    {"wifi", "pushButton_4", QT_TRANSLATE_NOOP("Accessibility", "写入wifi_ip设置")},
};

QRect inWindow(const QWidget* w, const QWidget* window)
{
    return QRect(w->mapTo(window, QPoint()), w->size());
}

// Pixels between two rectangles, 0 when one holds or touches the other.
int distance(const QRect& a, const QRect& b)
{
    const int dx = qMax(0, qMax(a.left() - b.right(), b.left() - a.right()));
    const int dy = qMax(0, qMax(a.top() - b.bottom(), b.top() - a.bottom()));
    return dx + dy;
}

const QGroupBox* nearestGroup(const QWidget* input, const QWidget* window)
{
    for (const QWidget* p = input->parentWidget(); p && p != window; p = p->parentWidget())
        if (const auto* group = qobject_cast<const QGroupBox*>(p))
            return group;
    const QRect where = inWindow(input, window);
    const QGroupBox* nearest = nullptr;
    int best = INT_MAX;
    for (const QGroupBox* group : window->findChildren<QGroupBox*>()) {
        const int d = distance(where, inWindow(group, window));
        if (d < best) {
            best = d;
            nearest = group;
        }
    }
    return nearest;
}

} // namespace

void nameForAccessibility(QWidget* window)
{
    QList<const QWidget*> labelled;
    for (const QLabel* label : window->findChildren<QLabel*>())
        labelled << label->buddy();
    for (QWidget* input : window->findChildren<QWidget*>()) {
        if (!qobject_cast<QLineEdit*>(input) && !qobject_cast<QComboBox*>(input))
            continue;
        if (labelled.contains(input) || input->isWindow())
            continue;
        if (const QGroupBox* group = nearestGroup(input, window))
            input->setAccessibleName(group->title());
    }
    for (const Description& d : Descriptions)
        if (window->objectName() == QLatin1String(d.window))
            if (auto* button = window->findChild<QPushButton*>(QLatin1String(d.button)))
                button->setAccessibleDescription(
                    QCoreApplication::translate("Accessibility", d.text));
}
