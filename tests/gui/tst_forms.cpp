#include "mainwindow.h"
#include "net_set.h"
#include "wifi.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QtTest>

#include <map>
#include <memory>

// The forms as built. Each row: object name, class, container, place, and what it shows. A
// widget's container is its parent widget, its place there "x y w h", or the layout that places
// it, its place then the index in a box or "row column" in a grid; a layout's container is the
// widget it is set on. The text is a title, a text, or a combo box's items joined with '|'.
namespace {

struct Row
{
    const char *name, *cls, *container, *where, *text;
};

const QVector<Row> MainWindowRows = {
    {"centralWidget", "QWidget", "MainWindow", "", ""},
    {"mainToolBar", "QToolBar", "MainWindow", "", ""},
    {"statusBar", "QStatusBar", "MainWindow", "", ""},
    {"groupBox", "QGroupBox", "centralWidget", "20 250 201 281", "打印机设置"},
    {"gridLayoutWidget", "QWidget", "groupBox", "20 20 169 181", "QGridLayout"},
    {"label", "QLabel", "gridLayout", "0 0", "速度:"},
    {"comboBox", "QComboBox", "gridLayout", "0 1", "较慢|正常|较快"},
    {"label_2", "QLabel", "gridLayout", "1 0", "浓度:"},
    {"comboBox_2", "QComboBox", "gridLayout", "1 1", "较淡|正常|较浓"},
    {"label_3", "QLabel", "gridLayout", "2 0", "声光报警:"},
    {"comboBox_3", "QComboBox", "gridLayout", "2 1", "关|仅声报警|仅光报警|声光报警"},
    {"pushButton", "QPushButton", "groupBox", "10 230 81 31", "获取"},
    {"pushButton_2", "QPushButton", "groupBox", "110 230 81 31", "设置"},
    {"graphicsView", "QGraphicsView", "centralWidget", "240 140 421 391", ""},
    {"groupBox_2", "QGroupBox", "centralWidget", "670 150 231 241", "logo 打印"},
    {"verticalLayoutWidget", "QWidget", "groupBox_2", "10 20 211 201", "QVBoxLayout"},
    {"radioButton", "QRadioButton", "verticalLayout", "0", "单倍宽高"},
    {"radioButton_2", "QRadioButton", "verticalLayout", "1", "双倍宽度"},
    {"radioButton_3", "QRadioButton", "verticalLayout", "2", "双倍高度"},
    {"radioButton_4", "QRadioButton", "verticalLayout", "3", "双倍宽高"},
    {"groupBox_3", "QGroupBox", "centralWidget", "10 20 211 111", "USB连接端口"},
    {"comboBox_4", "QComboBox", "groupBox_3", "20 30 161 31", ""},
    {"pushButton_7", "QPushButton", "groupBox_3", "100 70 75 31", "刷新"},
    {"groupBox_4", "QGroupBox", "centralWidget", "240 10 351 101", "打印机固件版本日期"},
    {"lineEdit", "QLineEdit", "groupBox_4", "20 30 311 20", ""},
    {"pushButton_3", "QPushButton", "groupBox_4", "250 60 75 31", "获取"},
    {"pushButton_4", "QPushButton", "centralWidget", "730 470 91 51", "打印logo"},
    {"verticalLayoutWidget_2", "QWidget", "centralWidget", "730 410 91 41", "QHBoxLayout"},
    {"label_4", "QLabel", "horizontalLayout", "0", "第"},
    {"lineEdit_2", "QLineEdit", "horizontalLayout", "1", ""},
    {"label_5", "QLabel", "horizontalLayout", "2", "张"},
    {"verticalLayoutWidget_3", "QWidget", "centralWidget", "20 150 160 80", "QVBoxLayout"},
    {"pushButton_5", "QPushButton", "verticalLayout_3", "0", "打开图片集"},
    {"pushButton_6", "QPushButton", "verticalLayout_3", "1", "下载"},
    {"verticalLayoutWidget_4", "QWidget", "centralWidget", "680 10 211 101", "QVBoxLayout"},
    {"pushButton_8", "QPushButton", "verticalLayout_2", "0", "网口设置"},
    {"pushButton_9", "QPushButton", "verticalLayout_2", "1", "wifi设置"},
    {"pushButton_10", "QPushButton", "verticalLayout_2", "2", "打印自检页"},
};

const QVector<Row> NetSetRows = {
    {"centralwidget", "QWidget", "net_set", "", ""},
    {"statusbar", "QStatusBar", "net_set", "", ""},
    {"groupBox", "QGroupBox", "centralwidget", "20 20 551 191", "网口设置"},
    {"verticalLayoutWidget", "QWidget", "groupBox", "20 20 181 32", "QHBoxLayout"},
    {"label", "QLabel", "horizontalLayout", "0", "IP模式："},
    {"comboBox", "QComboBox", "horizontalLayout", "1", "DHCP ON|DHCP OFF"},
    {"horizontalLayoutWidget", "QWidget", "groupBox", "20 60 181 31", "QHBoxLayout"},
    {"label_2", "QLabel", "horizontalLayout_2", "0", "IP:"},
    {"lineEdit", "QLineEdit", "horizontalLayout_2", "1", "..."},
    {"horizontalLayoutWidget_2", "QWidget", "groupBox", "20 100 461 31", "QHBoxLayout"},
    {"label_4", "QLabel", "horizontalLayout_3", "0", "子网掩码："},
    {"lineEdit_2", "QLineEdit", "horizontalLayout_3", "1", "..."},
    {"label_3", "QLabel", "horizontalLayout_3", "2", "网关地址："},
    {"lineEdit_3", "QLineEdit", "horizontalLayout_3", "3", "..."},
    {"horizontalLayoutWidget_3", "QWidget", "groupBox", "20 140 461 31", "QHBoxLayout"},
    {"label_5", "QLabel", "horizontalLayout_4", "0", "TCP端口："},
    {"lineEdit_4", "QLineEdit", "horizontalLayout_4", "1", ""},
    {"label_6", "QLabel", "horizontalLayout_4", "2", "UDP端口："},
    {"lineEdit_5", "QLineEdit", "horizontalLayout_4", "3", ""},
    {"pushButton", "QPushButton", "centralwidget", "360 230 75 31", "获取"},
    {"pushButton_2", "QPushButton", "centralwidget", "450 230 75 31", "设置"},
};

const QVector<Row> WifiRows = {
    {"centralwidget", "QWidget", "wifi", "", ""},
    {"statusbar", "QStatusBar", "wifi", "", ""},
    {"groupBox", "QGroupBox", "centralwidget", "30 20 521 291", "wifi设置"},
    {"horizontalLayoutWidget", "QWidget", "groupBox", "20 20 160 32", "QHBoxLayout"},
    {"label", "QLabel", "horizontalLayout", "0", "wifi模式："},
    {"comboBox", "QComboBox", "horizontalLayout", "1", "STA|AP"},
    {"groupBox_2", "QGroupBox", "groupBox", "10 60 481 51", "STA模式"},
    {"horizontalLayoutWidget_2", "QWidget", "groupBox_2", "10 20 461 26", "QHBoxLayout"},
    {"label_2", "QLabel", "horizontalLayout_2", "0", "wifi名称："},
    {"lineEdit", "QLineEdit", "horizontalLayout_2", "1", ""},
    {"label_3", "QLabel", "horizontalLayout_2", "2", "wifi密码："},
    {"lineEdit_2", "QLineEdit", "horizontalLayout_2", "3", ""},
    {"groupBox_3", "QGroupBox", "groupBox", "10 110 481 80", "AP模式"},
    {"horizontalLayoutWidget_3", "QWidget", "groupBox_3", "10 20 461 26", "QHBoxLayout"},
    {"label_4", "QLabel", "horizontalLayout_3", "0", "wifi名称："},
    {"lineEdit_3", "QLineEdit", "horizontalLayout_3", "1", ""},
    {"label_5", "QLabel", "horizontalLayout_3", "2", "wifi密码："},
    {"lineEdit_4", "QLineEdit", "horizontalLayout_3", "3", ""},
    {"horizontalLayoutWidget_4", "QWidget", "groupBox_3", "10 50 201 26", "QHBoxLayout"},
    {"label_6", "QLabel", "horizontalLayout_4", "0", "AP_IP:"},
    {"lineEdit_5", "QLineEdit", "horizontalLayout_4", "1", "..."},
    {"pushButton", "QPushButton", "groupBox", "280 240 75 31", "获取"},
    {"pushButton_2", "QPushButton", "groupBox", "380 240 75 31", "设置"},
    {"label_12", "QLabel", "groupBox", "20 210 491 16", "注：设置此项功能后需要重启打印机"},
    {"label_13", "QLabel", "groupBox", "20 240 251 16", "注：wifi密码最少为8位"},
    {"groupBox_4", "QGroupBox", "centralwidget", "30 330 521 171", "wifi_ip设置"},
    {"horizontalLayoutWidget_5", "QWidget", "groupBox_4", "10 20 160 32", "QHBoxLayout"},
    {"label_7", "QLabel", "horizontalLayout_5", "0", "IP模式"},
    {"comboBox_2", "QComboBox", "horizontalLayout_5", "1", "DHCP OFF|DHCP ON"},
    {"horizontalLayoutWidget_6", "QWidget", "groupBox_4", "10 50 481 31", "QHBoxLayout"},
    {"label_8", "QLabel", "horizontalLayout_6", "0", "IP:"},
    {"lineEdit_6", "QLineEdit", "horizontalLayout_6", "1", "..."},
    {"label_9", "QLabel", "horizontalLayout_6", "2", "网关地址："},
    {"lineEdit_7", "QLineEdit", "horizontalLayout_6", "3", "..."},
    {"horizontalLayoutWidget_7", "QWidget", "groupBox_4", "10 80 481 31", "QHBoxLayout"},
    {"label_10", "QLabel", "horizontalLayout_7", "0", "子网掩码："},
    {"lineEdit_8", "QLineEdit", "horizontalLayout_7", "1", "..."},
    {"label_11", "QLabel", "horizontalLayout_7", "2", "DNS:"},
    {"lineEdit_9", "QLineEdit", "horizontalLayout_7", "3", "..."},
    {"pushButton_3", "QPushButton", "groupBox_4", "310 130 75 31", "获取"},
    {"pushButton_4", "QPushButton", "groupBox_4", "390 130 75 31", "设置"},
};

const std::map<QString, QVector<Row>> Forms = {
    {"MainWindow", MainWindowRows}, {"net_set", NetSetRows}, {"wifi", WifiRows}};

QWidget* create(const QString& window)
{
    if (window == QLatin1String("net_set"))
        return new net_set;
    if (window == QLatin1String("wifi"))
        return new wifi;
    return new MainWindow;
}

// A combo box's items, a group box's title, any other widget's text; for a widget that holds a
// layout of its own, the layout's class.
QString shownText(const QWidget* widget)
{
    QStringList items;
    if (const auto* combo = qobject_cast<const QComboBox*>(widget)) {
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        return items.join(QLatin1Char('|'));
    }
    if (widget->layout() && !widget->layout()->objectName().isEmpty())
        return QString::fromLatin1(widget->layout()->metaObject()->className());
    return widget->property(qobject_cast<const QGroupBox*>(widget) ? "title" : "text").toString();
}

// The widget's place in the terms of its row: in the layout it sits in, or by hand.
QString placeOf(QWidget* widget, const QString& container)
{
    QLayout* layout = widget->parentWidget()->layout();
    const int index = layout ? layout->indexOf(widget) : -1;
    const QRect g = widget->geometry();
    int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
    if (index < 0)
        return QStringLiteral("%1 %2 %3 %4").arg(g.x()).arg(g.y()).arg(g.width()).arg(g.height());
    if (layout->objectName() != container)
        return QStringLiteral("in ") + layout->objectName();
    if (auto* grid = qobject_cast<QGridLayout*>(layout)) {
        grid->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
        return QStringLiteral("%1 %2").arg(row).arg(column);
    }
    return QString::number(index);
}

// What the forms and constructors set beyond place and text; names are space-separated.
const QString Popup = QStringLiteral("QComboBOX QAbstractItemView {background-color:white;}");
const QString Address = QStringLiteral("000.000.000.000");
const QVariant Centred = QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
const QVariant Normal = QVariant::fromValue(QLineEdit::Normal);
const struct
{
    const char *window, *names, *property;
    QVariant value;
} Properties[] = {
    {"MainWindow", "MainWindow", "size", QSize(952, 576)},
    {"MainWindow", "MainWindow", "windowTitle", QStringLiteral("MainWindow")},
    {"MainWindow", "label_5", "minimumSize", QSize(30, 0)},
    {"MainWindow", "lineEdit", "enabled", false},
    {"MainWindow", "comboBox comboBox_2 comboBox_3", "styleSheet", Popup},
    {"MainWindow", "comboBox comboBox_2 comboBox_3", "currentIndex", 0},
    {"MainWindow", "comboBox_4", "styleSheet", QString()},
    {"MainWindow", "radioButton radioButton_2 radioButton_3 radioButton_4", "checked", false},
    {"net_set", "net_set", "windowTitle", QStringLiteral("票据机设置工具")},
    {"net_set", "lineEdit lineEdit_2 lineEdit_3", "inputMask", Address},
    {"net_set", "lineEdit lineEdit_2 lineEdit_3", "alignment", Centred},
    {"net_set", "lineEdit_4 lineEdit_5", "inputMask", QString()},
    {"net_set", "lineEdit_4 lineEdit_5", "echoMode", Normal},
    {"wifi", "wifi", "windowTitle", QStringLiteral("票据机设置工具")},
    {"wifi", "lineEdit_5 lineEdit_6 lineEdit_7 lineEdit_8 lineEdit_9", "inputMask", Address},
    {"wifi", "lineEdit_5 lineEdit_6 lineEdit_7 lineEdit_8 lineEdit_9", "alignment", Centred},
    {"wifi", "lineEdit lineEdit_2 lineEdit_3 lineEdit_4", "inputMask", QString()},
    {"wifi", "lineEdit lineEdit_2 lineEdit_3 lineEdit_4", "echoMode", Normal},
};

} // namespace

class TestForms : public QObject
{
    Q_OBJECT

private slots:
    void objects_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<int>("index");
        for (const auto& [window, rows] : Forms)
            for (int i = 0; i < rows.size(); ++i)
                QTest::addRow("%s/%s", qPrintable(window), rows[i].name) << window << i;
    }

    void objects()
    {
        QFETCH(QString, window);
        QFETCH(int, index);
        const Row& row = Forms.at(window)[index];
        const QString container = QString::fromLatin1(row.container);
        std::unique_ptr<QWidget> top(create(window));
        const QList<QWidget*> found = top->findChildren<QWidget*>(row.name);
        QCOMPARE(found.size(), 1);
        QWidget* widget = found[0];
        QCOMPARE(widget->metaObject()->className(), row.cls);
        if (const auto* layout = top->findChild<QLayout*>(container)) {
            QCOMPARE(widget->parentWidget()->layout(), layout);
            QCOMPARE(layout->spacing(), 6);
            QCOMPARE(layout->contentsMargins(), QMargins());
        } else {
            QCOMPARE(widget->parentWidget()->objectName(), container);
        }
        if (*row.where)
            QCOMPARE(placeOf(widget, container), QString::fromLatin1(row.where));
        QCOMPARE(shownText(widget), QString::fromUtf8(row.text));
    }

    // A widget or layout the rows do not name would escape every check above. The toolkit's own
    // parts are unnamed or named "qt_...", as is the main window's layout.
    void everyObjectListed_data()
    {
        QTest::addColumn<QString>("window");
        for (const char* window : {"MainWindow", "net_set", "wifi"})
            QTest::newRow(window) << window;
    }

    void everyObjectListed()
    {
        QFETCH(QString, window);
        std::unique_ptr<QWidget> top(create(window));
        QStringList listed;
        for (const Row& row : Forms.at(window))
            listed << row.name << row.container;
        for (const QObject* object : top->findChildren<QObject*>()) {
            const QString name = object->objectName();
            if ((object->isWidgetType() || qobject_cast<const QLayout*>(object)) &&
                object != top->layout() && !name.isEmpty() && !name.startsWith("qt_"))
                QVERIFY2(listed.contains(name), qPrintable(name));
        }
    }

    void properties_data()
    {
        QTest::addColumn<int>("index");
        for (int i = 0; i < int(std::size(Properties)); ++i)
            QTest::addRow("%s %s.%s", Properties[i].window, Properties[i].names,
                          Properties[i].property)
                << i;
    }

    void properties()
    {
        QFETCH(int, index);
        const auto& row = Properties[index];
        std::unique_ptr<QWidget> top(create(row.window));
        for (const QString& name : QString::fromLatin1(row.names).split(' ')) {
            const QObject* object = name == row.window ? top.get() : top->findChild<QObject*>(name);
            QVERIFY2(object, qPrintable(name));
            QCOMPARE(object->property(row.property), row.value);
        }
    }
};

QTEST_MAIN(TestForms)
#include "tst_forms.moc"
