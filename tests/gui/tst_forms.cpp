#include "mainwindow.h"
#include "net_set.h"
#include "wifi.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QStatusBar>
#include <QToolBar>
#include <QtTest>

#include <functional>
#include <memory>

// The forms as built, window by window: every widget's class, parent, place and text, every
// layout, and the few properties the windows set beyond that. A window joins by adding its
// factory and its tables to forms().

namespace {

// Geometry of a widget that a layout places is left null.
struct WidgetRow
{
    const char* name;
    const char* cls;
    const char* parent;
    QRect geometry;
    const char* text; // title, text, or the items of a combo box joined with '|'
};

// Where a layout holds a widget: grid row and column, or the index in a box layout (column -1).
struct PlacementRow
{
    const char* widget;
    const char* layout;
    int row;
    int column;
};

struct LayoutRow
{
    const char* name;
    const char* cls;
    const char* holder; // the widget the layout is set on
    int spacing;
    QMargins margins;
};

struct PropertyRow
{
    const char* object;
    const char* property;
    QVariant value;
};

struct Form
{
    const char* window;
    std::function<QWidget*()> create;
    QSize size;
    QSize minimum;
    QSize maximum;
    QString title; // as the window comes up, before start-up gives the main window its own
    QVector<WidgetRow> widgets;
    QVector<PlacementRow> placements;
    QVector<LayoutRow> layouts;
    QVector<PropertyRow> properties;
};

const QSize NoMaximum(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);

Form mainWindowForm()
{
    Form form;
    form.window = "MainWindow";
    form.create = [] { return new MainWindow; };
    form.size = QSize(952, 576);
    form.minimum = QSize(0, 0);
    form.maximum = NoMaximum;
    form.title = QStringLiteral("MainWindow");
    form.widgets = {
        {"centralWidget", "QWidget", "MainWindow", {}, ""},
        {"mainToolBar", "QToolBar", "MainWindow", {}, ""},
        {"statusBar", "QStatusBar", "MainWindow", {}, ""},
        {"groupBox", "QGroupBox", "centralWidget", {20, 250, 201, 281}, "打印机设置"},
        {"gridLayoutWidget", "QWidget", "groupBox", {20, 20, 169, 181}, ""},
        {"label", "QLabel", "gridLayoutWidget", {}, "速度:"},
        {"comboBox", "QComboBox", "gridLayoutWidget", {}, "较慢|正常|较快"},
        {"label_2", "QLabel", "gridLayoutWidget", {}, "浓度:"},
        {"comboBox_2", "QComboBox", "gridLayoutWidget", {}, "较淡|正常|较浓"},
        {"label_3", "QLabel", "gridLayoutWidget", {}, "声光报警:"},
        {"comboBox_3", "QComboBox", "gridLayoutWidget", {}, "关|仅声报警|仅光报警|声光报警"},
        {"pushButton", "QPushButton", "groupBox", {10, 230, 81, 31}, "获取"},
        {"pushButton_2", "QPushButton", "groupBox", {110, 230, 81, 31}, "设置"},
        {"graphicsView", "QGraphicsView", "centralWidget", {240, 140, 421, 391}, ""},
        {"groupBox_2", "QGroupBox", "centralWidget", {670, 150, 231, 241}, "logo 打印"},
        {"verticalLayoutWidget", "QWidget", "groupBox_2", {10, 20, 211, 201}, ""},
        {"radioButton", "QRadioButton", "verticalLayoutWidget", {}, "单倍宽高"},
        {"radioButton_2", "QRadioButton", "verticalLayoutWidget", {}, "双倍宽度"},
        {"radioButton_3", "QRadioButton", "verticalLayoutWidget", {}, "双倍高度"},
        {"radioButton_4", "QRadioButton", "verticalLayoutWidget", {}, "双倍宽高"},
        {"groupBox_3", "QGroupBox", "centralWidget", {10, 20, 211, 111}, "USB连接端口"},
        {"comboBox_4", "QComboBox", "groupBox_3", {20, 30, 161, 31}, ""},
        {"pushButton_7", "QPushButton", "groupBox_3", {100, 70, 75, 31}, "刷新"},
        {"groupBox_4", "QGroupBox", "centralWidget", {240, 10, 351, 101}, "打印机固件版本日期"},
        {"lineEdit", "QLineEdit", "groupBox_4", {20, 30, 311, 20}, ""},
        {"pushButton_3", "QPushButton", "groupBox_4", {250, 60, 75, 31}, "获取"},
        {"pushButton_4", "QPushButton", "centralWidget", {730, 470, 91, 51}, "打印logo"},
        {"verticalLayoutWidget_2", "QWidget", "centralWidget", {730, 410, 91, 41}, ""},
        {"label_4", "QLabel", "verticalLayoutWidget_2", {}, "第"},
        {"lineEdit_2", "QLineEdit", "verticalLayoutWidget_2", {}, ""},
        {"label_5", "QLabel", "verticalLayoutWidget_2", {}, "张"},
        {"verticalLayoutWidget_3", "QWidget", "centralWidget", {20, 150, 160, 80}, ""},
        {"pushButton_5", "QPushButton", "verticalLayoutWidget_3", {}, "打开图片集"},
        {"pushButton_6", "QPushButton", "verticalLayoutWidget_3", {}, "下载"},
        {"verticalLayoutWidget_4", "QWidget", "centralWidget", {680, 10, 211, 101}, ""},
        {"pushButton_8", "QPushButton", "verticalLayoutWidget_4", {}, "网口设置"},
        {"pushButton_9", "QPushButton", "verticalLayoutWidget_4", {}, "wifi设置"},
        {"pushButton_10", "QPushButton", "verticalLayoutWidget_4", {}, "打印自检页"},
    };
    form.placements = {
        {"label", "gridLayout", 0, 0},
        {"comboBox", "gridLayout", 0, 1},
        {"label_2", "gridLayout", 1, 0},
        {"comboBox_2", "gridLayout", 1, 1},
        {"label_3", "gridLayout", 2, 0},
        {"comboBox_3", "gridLayout", 2, 1},
        {"radioButton", "verticalLayout", 0, -1},
        {"radioButton_2", "verticalLayout", 1, -1},
        {"radioButton_3", "verticalLayout", 2, -1},
        {"radioButton_4", "verticalLayout", 3, -1},
        {"label_4", "horizontalLayout", 0, -1},
        {"lineEdit_2", "horizontalLayout", 1, -1},
        {"label_5", "horizontalLayout", 2, -1},
        {"pushButton_5", "verticalLayout_3", 0, -1},
        {"pushButton_6", "verticalLayout_3", 1, -1},
        {"pushButton_8", "verticalLayout_2", 0, -1},
        {"pushButton_9", "verticalLayout_2", 1, -1},
        {"pushButton_10", "verticalLayout_2", 2, -1},
    };
    form.layouts = {
        {"gridLayout", "QGridLayout", "gridLayoutWidget", 6, {}},
        {"verticalLayout", "QVBoxLayout", "verticalLayoutWidget", 6, {}},
        {"horizontalLayout", "QHBoxLayout", "verticalLayoutWidget_2", 6, {}},
        {"verticalLayout_3", "QVBoxLayout", "verticalLayoutWidget_3", 6, {}},
        {"verticalLayout_2", "QVBoxLayout", "verticalLayoutWidget_4", 6, {}},
    };
    const QString popupStyle =
        QStringLiteral("QComboBOX QAbstractItemView {background-color:white;}");
    form.properties = {
        {"label_5", "minimumSize", QSize(30, 0)},
        {"lineEdit", "enabled", false},
        {"comboBox", "styleSheet", popupStyle},
        {"comboBox_2", "styleSheet", popupStyle},
        {"comboBox_3", "styleSheet", popupStyle},
        {"comboBox_4", "styleSheet", QString()},
        {"comboBox_4", "count", 0},
    };
    return form;
}

// Address fields: centred, masked to four numbers; the others keep the toolkit's defaults.
QVector<PropertyRow> addressField(const char* name)
{
    return {{name, "inputMask", QStringLiteral("000.000.000.000")},
            {name, "alignment", QVariant::fromValue(Qt::Alignment(Qt::AlignCenter))}};
}

QVector<PropertyRow> plainField(const char* name)
{
    return {
        {name, "inputMask", QString()},
        {name, "alignment", QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter))},
        {name, "echoMode", QVariant::fromValue(QLineEdit::Normal)},
        {name, "maxLength", 32767}};
}

Form netSetForm()
{
    Form form;
    form.window = "net_set";
    form.create = [] { return new net_set; };
    form.size = QSize(600, 300);
    form.minimum = QSize(600, 300);
    form.maximum = QSize(600, 300);
    form.title = QStringLiteral("票据机设置工具");
    form.widgets = {
        {"centralwidget", "QWidget", "net_set", {}, ""},
        {"statusbar", "QStatusBar", "net_set", {}, ""},
        {"groupBox", "QGroupBox", "centralwidget", {20, 20, 551, 191}, "网口设置"},
        {"verticalLayoutWidget", "QWidget", "groupBox", {20, 20, 181, 32}, ""},
        {"label", "QLabel", "verticalLayoutWidget", {}, "IP模式："},
        {"comboBox", "QComboBox", "verticalLayoutWidget", {}, "DHCP ON|DHCP OFF"},
        {"horizontalLayoutWidget", "QWidget", "groupBox", {20, 60, 181, 31}, ""},
        {"label_2", "QLabel", "horizontalLayoutWidget", {}, "IP:"},
        {"lineEdit", "QLineEdit", "horizontalLayoutWidget", {}, "..."},
        {"horizontalLayoutWidget_2", "QWidget", "groupBox", {20, 100, 461, 31}, ""},
        {"label_4", "QLabel", "horizontalLayoutWidget_2", {}, "子网掩码："},
        {"lineEdit_2", "QLineEdit", "horizontalLayoutWidget_2", {}, "..."},
        {"label_3", "QLabel", "horizontalLayoutWidget_2", {}, "网关地址："},
        {"lineEdit_3", "QLineEdit", "horizontalLayoutWidget_2", {}, "..."},
        {"horizontalLayoutWidget_3", "QWidget", "groupBox", {20, 140, 461, 31}, ""},
        {"label_5", "QLabel", "horizontalLayoutWidget_3", {}, "TCP端口："},
        {"lineEdit_4", "QLineEdit", "horizontalLayoutWidget_3", {}, ""},
        {"label_6", "QLabel", "horizontalLayoutWidget_3", {}, "UDP端口："},
        {"lineEdit_5", "QLineEdit", "horizontalLayoutWidget_3", {}, ""},
        {"pushButton", "QPushButton", "centralwidget", {360, 230, 75, 31}, "获取"},
        {"pushButton_2", "QPushButton", "centralwidget", {450, 230, 75, 31}, "设置"},
    };
    form.placements = {
        {"label", "horizontalLayout", 0, -1},     {"comboBox", "horizontalLayout", 1, -1},
        {"label_2", "horizontalLayout_2", 0, -1}, {"lineEdit", "horizontalLayout_2", 1, -1},
        {"label_4", "horizontalLayout_3", 0, -1}, {"lineEdit_2", "horizontalLayout_3", 1, -1},
        {"label_3", "horizontalLayout_3", 2, -1}, {"lineEdit_3", "horizontalLayout_3", 3, -1},
        {"label_5", "horizontalLayout_4", 0, -1}, {"lineEdit_4", "horizontalLayout_4", 1, -1},
        {"label_6", "horizontalLayout_4", 2, -1}, {"lineEdit_5", "horizontalLayout_4", 3, -1},
    };
    form.layouts = {
        {"horizontalLayout", "QHBoxLayout", "verticalLayoutWidget", 6, {}},
        {"horizontalLayout_2", "QHBoxLayout", "horizontalLayoutWidget", 6, {}},
        {"horizontalLayout_3", "QHBoxLayout", "horizontalLayoutWidget_2", 6, {}},
        {"horizontalLayout_4", "QHBoxLayout", "horizontalLayoutWidget_3", 6, {}},
    };
    form.properties = {
        {"pushButton", "enabled", true},
        {"pushButton_2", "enabled", false},
        {"comboBox", "currentIndex", 0},
    };
    for (const char* name : {"lineEdit", "lineEdit_2", "lineEdit_3"})
        form.properties += addressField(name);
    for (const char* name : {"lineEdit_4", "lineEdit_5"})
        form.properties += plainField(name);
    return form;
}

Form wifiForm()
{
    Form form;
    form.window = "wifi";
    form.create = [] { return new wifi; };
    form.size = QSize(600, 550);
    form.minimum = QSize(550, 550);
    form.maximum = QSize(600, 600);
    form.title = QStringLiteral("票据机设置工具");
    form.widgets = {
        {"centralwidget", "QWidget", "wifi", {}, ""},
        {"statusbar", "QStatusBar", "wifi", {}, ""},
        {"groupBox", "QGroupBox", "centralwidget", {30, 20, 521, 291}, "wifi设置"},
        {"horizontalLayoutWidget", "QWidget", "groupBox", {20, 20, 160, 32}, ""},
        {"label", "QLabel", "horizontalLayoutWidget", {}, "wifi模式："},
        {"comboBox", "QComboBox", "horizontalLayoutWidget", {}, "STA|AP"},
        {"groupBox_2", "QGroupBox", "groupBox", {10, 60, 481, 51}, "STA模式"},
        {"horizontalLayoutWidget_2", "QWidget", "groupBox_2", {10, 20, 461, 26}, ""},
        {"label_2", "QLabel", "horizontalLayoutWidget_2", {}, "wifi名称："},
        {"lineEdit", "QLineEdit", "horizontalLayoutWidget_2", {}, ""},
        {"label_3", "QLabel", "horizontalLayoutWidget_2", {}, "wifi密码："},
        {"lineEdit_2", "QLineEdit", "horizontalLayoutWidget_2", {}, ""},
        {"groupBox_3", "QGroupBox", "groupBox", {10, 110, 481, 80}, "AP模式"},
        {"horizontalLayoutWidget_3", "QWidget", "groupBox_3", {10, 20, 461, 26}, ""},
        {"label_4", "QLabel", "horizontalLayoutWidget_3", {}, "wifi名称："},
        {"lineEdit_3", "QLineEdit", "horizontalLayoutWidget_3", {}, ""},
        {"label_5", "QLabel", "horizontalLayoutWidget_3", {}, "wifi密码："},
        {"lineEdit_4", "QLineEdit", "horizontalLayoutWidget_3", {}, ""},
        {"horizontalLayoutWidget_4", "QWidget", "groupBox_3", {10, 50, 201, 26}, ""},
        {"label_6", "QLabel", "horizontalLayoutWidget_4", {}, "AP_IP:"},
        {"lineEdit_5", "QLineEdit", "horizontalLayoutWidget_4", {}, "..."},
        {"pushButton", "QPushButton", "groupBox", {280, 240, 75, 31}, "获取"},
        {"pushButton_2", "QPushButton", "groupBox", {380, 240, 75, 31}, "设置"},
        {"label_12", "QLabel", "groupBox", {20, 210, 491, 16}, "注：设置此项功能后需要重启打印机"},
        {"label_13", "QLabel", "groupBox", {20, 240, 251, 16}, "注：wifi密码最少为8位"},
        {"groupBox_4", "QGroupBox", "centralwidget", {30, 330, 521, 171}, "wifi_ip设置"},
        {"horizontalLayoutWidget_5", "QWidget", "groupBox_4", {10, 20, 160, 32}, ""},
        {"label_7", "QLabel", "horizontalLayoutWidget_5", {}, "IP模式"},
        {"comboBox_2", "QComboBox", "horizontalLayoutWidget_5", {}, "DHCP OFF|DHCP ON"},
        {"horizontalLayoutWidget_6", "QWidget", "groupBox_4", {10, 50, 481, 31}, ""},
        {"label_8", "QLabel", "horizontalLayoutWidget_6", {}, "IP:"},
        {"lineEdit_6", "QLineEdit", "horizontalLayoutWidget_6", {}, "..."},
        {"label_9", "QLabel", "horizontalLayoutWidget_6", {}, "网关地址："},
        {"lineEdit_7", "QLineEdit", "horizontalLayoutWidget_6", {}, "..."},
        {"horizontalLayoutWidget_7", "QWidget", "groupBox_4", {10, 80, 481, 31}, ""},
        {"label_10", "QLabel", "horizontalLayoutWidget_7", {}, "子网掩码："},
        {"lineEdit_8", "QLineEdit", "horizontalLayoutWidget_7", {}, "..."},
        {"label_11", "QLabel", "horizontalLayoutWidget_7", {}, "DNS:"},
        {"lineEdit_9", "QLineEdit", "horizontalLayoutWidget_7", {}, "..."},
        {"pushButton_3", "QPushButton", "groupBox_4", {310, 130, 75, 31}, "获取"},
        {"pushButton_4", "QPushButton", "groupBox_4", {390, 130, 75, 31}, "设置"},
    };
    form.placements = {
        {"label", "horizontalLayout", 0, -1},      {"comboBox", "horizontalLayout", 1, -1},
        {"label_2", "horizontalLayout_2", 0, -1},  {"lineEdit", "horizontalLayout_2", 1, -1},
        {"label_3", "horizontalLayout_2", 2, -1},  {"lineEdit_2", "horizontalLayout_2", 3, -1},
        {"label_4", "horizontalLayout_3", 0, -1},  {"lineEdit_3", "horizontalLayout_3", 1, -1},
        {"label_5", "horizontalLayout_3", 2, -1},  {"lineEdit_4", "horizontalLayout_3", 3, -1},
        {"label_6", "horizontalLayout_4", 0, -1},  {"lineEdit_5", "horizontalLayout_4", 1, -1},
        {"label_7", "horizontalLayout_5", 0, -1},  {"comboBox_2", "horizontalLayout_5", 1, -1},
        {"label_8", "horizontalLayout_6", 0, -1},  {"lineEdit_6", "horizontalLayout_6", 1, -1},
        {"label_9", "horizontalLayout_6", 2, -1},  {"lineEdit_7", "horizontalLayout_6", 3, -1},
        {"label_10", "horizontalLayout_7", 0, -1}, {"lineEdit_8", "horizontalLayout_7", 1, -1},
        {"label_11", "horizontalLayout_7", 2, -1}, {"lineEdit_9", "horizontalLayout_7", 3, -1},
    };
    form.layouts = {
        {"horizontalLayout", "QHBoxLayout", "horizontalLayoutWidget", 6, {}},
        {"horizontalLayout_2", "QHBoxLayout", "horizontalLayoutWidget_2", 6, {}},
        {"horizontalLayout_3", "QHBoxLayout", "horizontalLayoutWidget_3", 6, {}},
        {"horizontalLayout_4", "QHBoxLayout", "horizontalLayoutWidget_4", 6, {}},
        {"horizontalLayout_5", "QHBoxLayout", "horizontalLayoutWidget_5", 6, {}},
        {"horizontalLayout_6", "QHBoxLayout", "horizontalLayoutWidget_6", 6, {}},
        {"horizontalLayout_7", "QHBoxLayout", "horizontalLayoutWidget_7", 6, {}},
    };
    form.properties = {
        {"pushButton", "enabled", true},   {"pushButton_2", "enabled", false},
        {"pushButton_3", "enabled", true}, {"pushButton_4", "enabled", false},
        {"comboBox", "currentIndex", 0},   {"comboBox_2", "currentIndex", 0},
        {"lineEdit_9", "enabled", true},
    };
    for (const char* name : {"lineEdit_5", "lineEdit_6", "lineEdit_7", "lineEdit_8", "lineEdit_9"})
        form.properties += addressField(name);
    for (const char* name : {"lineEdit", "lineEdit_2", "lineEdit_3", "lineEdit_4"})
        form.properties += plainField(name);
    return form;
}

const QVector<Form>& forms()
{
    static const QVector<Form> all = {mainWindowForm(), netSetForm(), wifiForm()};
    return all;
}

const Form& formOf(const QString& window)
{
    for (const Form& form : forms())
        if (QLatin1String(form.window) == window)
            return form;
    qFatal("no form %s", qPrintable(window));
}

QString marginsText(const QMargins& m)
{
    return QStringLiteral("%1 %2 %3 %4").arg(m.left()).arg(m.top()).arg(m.right()).arg(m.bottom());
}

QString shownText(const QWidget* widget)
{
    if (const auto* box = qobject_cast<const QGroupBox*>(widget))
        return box->title();
    if (const auto* combo = qobject_cast<const QComboBox*>(widget)) {
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        return items.join(QLatin1Char('|'));
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
        return button->text();
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        return label->text();
    if (const auto* edit = qobject_cast<const QLineEdit*>(widget))
        return edit->text();
    return QString();
}

} // namespace

class TestForms : public QObject
{
    Q_OBJECT

private slots:
    void windowFrame_data();
    void windowFrame();
    void widgets_data();
    void widgets();
    void everyWidgetListed_data();
    void everyWidgetListed();
    void placements_data();
    void placements();
    void layouts_data();
    void layouts();
    void properties_data();
    void properties();
    void mainWindowBars();
};

void TestForms::windowFrame_data()
{
    QTest::addColumn<QString>("window");
    for (const Form& form : forms())
        QTest::newRow(form.window) << form.window;
}

void TestForms::windowFrame()
{
    QFETCH(QString, window);
    const Form& form = formOf(window);
    std::unique_ptr<QWidget> widget(form.create());

    QCOMPARE(widget->objectName(), window);
    QCOMPARE(widget->size(), form.size);
    QCOMPARE(widget->minimumSize(), form.minimum);
    QCOMPARE(widget->maximumSize(), form.maximum);
    QCOMPARE(widget->windowTitle(), form.title);
}

void TestForms::widgets_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("cls");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");
    for (const Form& form : forms())
        for (const WidgetRow& row : form.widgets)
            QTest::addRow("%s/%s", form.window, row.name)
                << form.window << row.name << row.cls << row.parent << row.geometry
                << QString::fromUtf8(row.text);
}

void TestForms::widgets()
{
    QFETCH(QString, window);
    QFETCH(QString, name);
    QFETCH(QString, cls);
    QFETCH(QString, parent);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    std::unique_ptr<QWidget> top(formOf(window).create());

    const QList<QWidget*> found = top->findChildren<QWidget*>(name);
    QCOMPARE(found.size(), 1);
    const QWidget* widget = found.first();
    QCOMPARE(QString::fromLatin1(widget->metaObject()->className()), cls);
    QVERIFY(widget->parentWidget());
    QCOMPARE(widget->parentWidget()->objectName(), parent);
    if (!geometry.isNull())
        QCOMPARE(widget->geometry(), geometry);
    QCOMPARE(shownText(widget), text);
}

void TestForms::everyWidgetListed_data()
{
    windowFrame_data();
}

// A widget the tables do not name would escape every check above.
void TestForms::everyWidgetListed()
{
    QFETCH(QString, window);
    const Form& form = formOf(window);
    std::unique_ptr<QWidget> top(form.create());

    QStringList listed;
    for (const WidgetRow& row : form.widgets)
        listed << QString::fromLatin1(row.name);
    for (const QWidget* widget : top->findChildren<QWidget*>()) {
        // The toolkit's own parts (scroll bars, line edits inside combo boxes, ...) are unnamed or
        // named "qt_..."; only the form's widgets carry names of their own.
        const QString name = widget->objectName();
        if (name.isEmpty() || name.startsWith(QLatin1String("qt_")))
            continue;
        QVERIFY2(listed.contains(name), qPrintable(name));
    }
}

void TestForms::placements_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("widget");
    QTest::addColumn<QString>("layout");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    for (const Form& form : forms())
        for (const PlacementRow& row : form.placements)
            QTest::addRow("%s/%s", form.window, row.widget)
                << form.window << row.widget << row.layout << row.row << row.column;
}

void TestForms::placements()
{
    QFETCH(QString, window);
    QFETCH(QString, widget);
    QFETCH(QString, layout);
    QFETCH(int, row);
    QFETCH(int, column);
    std::unique_ptr<QWidget> top(formOf(window).create());
    auto* held = top->findChild<QWidget*>(widget);
    auto* holder = top->findChild<QLayout*>(layout);
    QVERIFY(held);
    QVERIFY(holder);

    const int index = holder->indexOf(held);
    QVERIFY2(index >= 0, "not in this layout");
    if (column < 0) {
        QCOMPARE(index, row);
        return;
    }
    auto* grid = qobject_cast<QGridLayout*>(holder);
    QVERIFY(grid);
    int gridRow = -1, gridColumn = -1, rowSpan = 0, columnSpan = 0;
    grid->getItemPosition(index, &gridRow, &gridColumn, &rowSpan, &columnSpan);
    QCOMPARE(gridRow, row);
    QCOMPARE(gridColumn, column);
    QCOMPARE(rowSpan, 1);
    QCOMPARE(columnSpan, 1);
}

void TestForms::layouts_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("cls");
    QTest::addColumn<QString>("holder");
    QTest::addColumn<int>("spacing");
    QTest::addColumn<QString>("margins");
    for (const Form& form : forms())
        for (const LayoutRow& row : form.layouts)
            QTest::addRow("%s/%s", form.window, row.name)
                << form.window << row.name << row.cls << row.holder << row.spacing
                << marginsText(row.margins);
}

void TestForms::layouts()
{
    QFETCH(QString, window);
    QFETCH(QString, name);
    QFETCH(QString, cls);
    QFETCH(QString, holder);
    QFETCH(int, spacing);
    QFETCH(QString, margins);
    std::unique_ptr<QWidget> top(formOf(window).create());

    const auto* layout = top->findChild<QLayout*>(name);
    QVERIFY(layout);
    QCOMPARE(QString::fromLatin1(layout->metaObject()->className()), cls);
    QVERIFY(layout->parentWidget());
    QCOMPARE(layout->parentWidget()->objectName(), holder);
    QCOMPARE(layout->parentWidget()->layout(), layout);
    QCOMPARE(layout->spacing(), spacing);
    QCOMPARE(marginsText(layout->contentsMargins()), margins);
}

void TestForms::properties_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("object");
    QTest::addColumn<QString>("property");
    QTest::addColumn<QVariant>("value");
    for (const Form& form : forms())
        for (const PropertyRow& row : form.properties)
            QTest::addRow("%s/%s.%s", form.window, row.object, row.property)
                << form.window << row.object << row.property << row.value;
}

void TestForms::properties()
{
    QFETCH(QString, window);
    QFETCH(QString, object);
    QFETCH(QString, property);
    QFETCH(QVariant, value);
    std::unique_ptr<QWidget> top(formOf(window).create());

    const auto* found = top->findChild<QObject*>(object);
    QVERIFY(found);
    const QVariant actual = found->property(qPrintable(property));
    QVERIFY2(actual.isValid(), "no such property");
    QCOMPARE(actual, value);
}

void TestForms::mainWindowBars()
{
    MainWindow window;
    QVERIFY(!window.menuWidget());
    QCOMPARE(window.centralWidget()->objectName(), QStringLiteral("centralWidget"));
    QCOMPARE(window.statusBar()->objectName(), QStringLiteral("statusBar"));
    const auto* toolBar = window.findChild<QToolBar*>(QStringLiteral("mainToolBar"));
    QVERIFY(toolBar);
    QCOMPARE(window.toolBarArea(const_cast<QToolBar*>(toolBar)), Qt::TopToolBarArea);
    QVERIFY(toolBar->actions().isEmpty());
}

QTEST_MAIN(TestForms)
#include "tst_forms.moc"
