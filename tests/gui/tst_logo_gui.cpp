#include "logwatcher.h"
#include "mainwindow.h"
#include "messageboxcatcher.h"
#include "monopng.h"
#include "protocol/frame.h"
#include "simprinter.h"

#include <QDir>
#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <memory>

Q_DECLARE_METATYPE(sim::Fault)

namespace {

const QString ChooseImages = QStringLiteral("请先选择图片");
const QString TooMany = QStringLiteral("图片数量不能超过255张");
const QString TooLarge = QStringLiteral("文件数据过大请重新选择图片");
const QString BadNumber = QStringLiteral("请输入1到255之间的logo编号");
const QString CheckUsb = QStringLiteral("请确保打印机已通过usb进行连接");
const QString Downloaded = QStringLiteral("下载成功");

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

QString framesHex(const QList<QByteArray>& frames)
{
    QStringList parts;
    for (const QByteArray& frame : frames)
        parts << QString::fromLatin1(toHex(frame.left(48)));
    return parts.join(QStringLiteral(" | "));
}

QString diff(const QList<QByteArray>& actual, const QList<QByteArray>& expected)
{
    return QStringLiteral("\n  actual:   ") + framesHex(actual) + QStringLiteral("\n  expected: ") +
           framesHex(expected);
}

QImage filled(int width, int height, uchar grey)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(qRgb(grey, grey, grey));
    return image;
}

int openFileDescriptors()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).count());
}

QStringList repeated(int count, const QString& text)
{
    QStringList list;
    for (int i = 0; i < count; ++i)
        list << text;
    return list;
}

} // namespace

class TestLogoGui : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void previewsFitTheirBoxes();
    void previewSkipsOversizedFile();
    void cancelEmptiesPreviewAndList();
    void packingMembers();

    void downloadSendsOneBlockPerLoadedImage();
    void downloadSizeLimit_data();
    void downloadSizeLimit();
    void downloadTakes255Images();
    void downloadRefusals_data();
    void downloadRefusals();
    void downloadFailureReported_data();
    void downloadFailureReported();

    void printFrame_data();
    void printFrame();
    void printRefusesBadNumber_data();
    void printRefusesBadNumber();
    void printFailureIsSilent();

    void everyPathReleasesThePrinter();

private:
    template <typename T> T* widget(const char* name)
    {
        T* found = m_window->findChild<T*>(QString::fromLatin1(name));
        if (!found)
            qFatal("no widget %s", name);
        return found;
    }
    void click(const char* name);
    sim::SimPrinter* plugAndRefresh(const sim::PrinterState& state = sim::defaultState());
    QString save(const QString& name, const QImage& image);
    QString saveBytes(const QString& name, const QByteArray& bytes);
    void choose(const QStringList& files);
    QList<QGraphicsPixmapItem*> previews();
    bool logged(const QString& line) const { return m_log->contains(QtDebugMsg, line); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<MessageBoxCatcher> m_boxes;
    std::unique_ptr<LogWatcher> m_log;
    std::unique_ptr<MainWindow> m_window;
    QStringList m_choice;
    int m_dialogs = 0;
};

void TestLogoGui::initTestCase()
{
    // The bus must exist before libusb first starts, or libusb never sees its printers.
    sim::SimBus::instance();
    MainWindow::setImageChooser([this](QWidget* parent) {
        ++m_dialogs;
        if (parent != m_window.get())
            qWarning("the file dialog is not parented to the main window");
        return m_choice;
    });
}

void TestLogoGui::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_boxes = std::make_unique<MessageBoxCatcher>();
    m_log = std::make_unique<LogWatcher>();
    m_window = std::make_unique<MainWindow>();
    m_window->show();
    m_choice.clear();
    m_dialogs = 0;
    imageFiles.clear();
}

void TestLogoGui::cleanup()
{
    m_window.reset();
    m_log.reset();
    m_boxes.reset();
    m_dir.reset();
    imageFiles.clear();
    sim::SimBus::instance().clear();
}

// Clicks and checks what every click must leave behind: no wait cursor, none over a message box.
void TestLogoGui::click(const char* name)
{
    widget<QPushButton>(name)->click();
    QVERIFY2(!QApplication::overrideCursor(), name);
    QVERIFY2(!m_boxes->cursorOverBox, name);
}

sim::SimPrinter* TestLogoGui::plugAndRefresh(const sim::PrinterState& state)
{
    sim::PrinterConfig config;
    config.state = state;
    sim::SimPrinter* printer = sim::SimBus::instance().add(config);
    widget<QPushButton>("pushButton_7")->click();
    return printer;
}

QString TestLogoGui::save(const QString& name, const QImage& image)
{
    const QString path = m_dir->filePath(name);
    if (!image.save(path, "PNG"))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

QString TestLogoGui::saveBytes(const QString& name, const QByteArray& bytes)
{
    const QString path = m_dir->filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void TestLogoGui::choose(const QStringList& files)
{
    m_choice = files;
    click("pushButton_5");
}

QList<QGraphicsPixmapItem*> TestLogoGui::previews()
{
    QList<QGraphicsPixmapItem*> items;
    for (QGraphicsItem* item : widget<QGraphicsView>("graphicsView")->scene()->items())
        if (auto* pixmap = qgraphicsitem_cast<QGraphicsPixmapItem*>(item))
            items << pixmap;
    std::sort(items.begin(), items.end(), [](QGraphicsPixmapItem* a, QGraphicsPixmapItem* b) {
        return a->pos().y() < b->pos().y();
    });
    return items;
}

void TestLogoGui::previewsFitTheirBoxes()
{
    // Left half one step darker than the threshold, right half at it: black and white in the
    // preview.
    QImage wide = filled(100, 50, 158);
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 50; ++x)
            wide.setPixel(x, y, qRgb(157, 157, 157));
    const QString first = save("wide.png", wide);
    const QString broken = saveBytes("broken.png", "\x89PNG but nothing after");
    const QString third = save("big.png", filled(1000, 1000, 0));
    choose({first, broken, third});

    QCOMPARE(m_dialogs, 1);
    QCOMPARE(imageFiles, QStringList({first, broken, third}));
    const QList<QGraphicsPixmapItem*> items = previews();
    QCOMPARE(items.size(), 2);
    QCOMPARE(items[0]->pos(), QPointF(0, 0));
    QCOMPARE(items[0]->pixmap().size(), QSize(400, 200));
    QCOMPARE(items[1]->pos(), QPointF(0, 320));
    QCOMPARE(items[1]->pixmap().size(), QSize(300, 300));
    const QImage shown = items[0]->pixmap().toImage();
    QCOMPARE(shown.pixel(100, 100), qRgb(0, 0, 0));
    QCOMPARE(shown.pixel(300, 100), qRgb(255, 255, 255));
    QCOMPARE(items[1]->pixmap().toImage().pixel(150, 150), qRgb(0, 0, 0));

    for (const QString& line :
         QStringList{"处理文件: " + first, "已处理文件: " + first, "outputWidth: 104",
                     "处理文件: " + broken, "加载图像失败: " + broken, "处理文件: " + third,
                     "已处理文件: " + third, "outputWidth: 1000"})
        QVERIFY2(logged(line), qPrintable(line));
    QVERIFY(!logged("已处理文件: " + broken));
    QVERIFY(m_boxes->texts.isEmpty());
}

void TestLogoGui::previewSkipsOversizedFile()
{
    sim::SimPrinter* printer = plugAndRefresh();
    const QString dot = save("dot.png", filled(8, 8, 0));
    // Just over 64 megapixels, yet a few kilobytes on disk.
    const QString huge = saveBytes("huge.png", monopng::white(8001, 8000));
    choose({huge, dot});
    QCOMPARE(previews().size(), 1);
    QVERIFY(logged("加载图像失败: " + huge));

    m_log->clear();
    click("pushButton_6");
    QVERIFY(logged("加载图像失败: " + huge));
    const QList<QByteArray> expected{hex("1C7101 01000100 FFFFFFFFFFFFFFFF")};
    QVERIFY2(printer->downloads() == expected, qPrintable(diff(printer->downloads(), expected)));
    QCOMPARE(m_boxes->texts, QStringList{Downloaded});
}

void TestLogoGui::cancelEmptiesPreviewAndList()
{
    sim::SimPrinter* printer = plugAndRefresh();
    choose({save("a.png", filled(8, 8, 0)), save("b.png", filled(16, 8, 255))});
    QCOMPARE(previews().size(), 2);
    QCOMPARE(imageFiles.size(), 2);

    choose({});
    QCOMPARE(m_dialogs, 2);
    QVERIFY(widget<QGraphicsView>("graphicsView")->scene()->items().isEmpty());
    QVERIFY(imageFiles.isEmpty());

    click("pushButton_6");
    QCOMPARE(m_boxes->texts, QStringList{ChooseImages});
    QVERIFY(printer->received().isEmpty());
}

void TestLogoGui::packingMembers()
{
    uchar alternating[10] = {0, 255, 0, 255, 0, 255, 0, 255, 0, 255};
    uchar out[2] = {};
    QVERIFY(m_window->Bitmap_8to1(alternating, out, 10, 1));
    QCOMPARE(QByteArray(reinterpret_cast<char*>(out), 2), hex("AA80"));
    QVERIFY(m_window->Bitmap_8to1_toshow(alternating, out, 10, 1));
    QCOMPARE(QByteArray(reinterpret_cast<char*>(out), 2), hex("5540"));
    out[0] = out[1] = 0x5A;
    QVERIFY(m_window->Bitmap_8to1(alternating, out, 10, 0));
    QCOMPARE(QByteArray(reinterpret_cast<char*>(out), 2), hex("5A5A"));
}

void TestLogoGui::downloadSendsOneBlockPerLoadedImage()
{
    sim::SimPrinter* printer = plugAndRefresh();
    const QString black = save("black.png", filled(8, 8, 0));
    const QString missing = m_dir->filePath("gone.png");
    const QString white = save("white.png", filled(10, 8, 255));
    choose({black, missing, white});
    m_log->clear();
    click("pushButton_6");

    const QByteArray first = hex("01000100 FFFFFFFFFFFFFFFF");
    const QByteArray second = hex("02000100 00000000000000000000 FFFFFFFFFFFF");
    // Two blocks follow, so the count says two although three files were chosen.
    const QList<QByteArray> expected{hex("1C7102") + first + second};
    QVERIFY2(printer->received() == expected, qPrintable(diff(printer->received(), expected)));
    QVERIFY2(printer->downloads() == expected, qPrintable(diff(printer->downloads(), expected)));
    QCOMPARE(printer->state().logos, (QList<QByteArray>{first, second}));
    QCOMPARE(m_boxes->texts, QStringList{Downloaded});
    for (const QString& line :
         {QStringLiteral("imageCount 3"), "加载图像失败: " + missing, QStringLiteral("width: 8"),
          QStringLiteral("height: 8"), QStringLiteral("width: 16")})
        QVERIFY2(logged(line), qPrintable(line));
}

void TestLogoGui::downloadSizeLimit_data()
{
    QTest::addColumn<int>("height");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("frameSize");
    QTest::newRow("1024x952 sent") << 952 << Downloaded << 122880 - 1017;
    QTest::newRow("1024x960 refused") << 960 << TooLarge << 0;
}

void TestLogoGui::downloadSizeLimit()
{
    QFETCH(int, height);
    QFETCH(QString, message);
    QFETCH(int, frameSize);
    sim::PrinterState state = sim::defaultState();
    state.logos = {hex("01000100 8000000000000000")};
    sim::SimPrinter* printer = plugAndRefresh(state);
    choose({save("logo.png", filled(1024, height, 0))});
    click("pushButton_6");
    QCOMPARE(m_boxes->texts, QStringList{message});
    if (frameSize == 0) {
        QVERIFY(printer->received().isEmpty());
        QCOMPARE(printer->state().logos, state.logos);
        return;
    }
    QCOMPARE(printer->downloads().size(), 1);
    const QByteArray frame = printer->downloads().first();
    QCOMPARE(frame.size(), frameSize);
    QCOMPARE(frame.left(7), hex("1C7101 8000 7700"));
    QVERIFY(frame.mid(7) == QByteArray(frameSize - 7, char(0xFF)));
}

void TestLogoGui::downloadTakes255Images()
{
    sim::SimPrinter* printer = plugAndRefresh();
    choose(repeated(255, save("dot.png", filled(1, 1, 0))));
    click("pushButton_6");
    QCOMPARE(m_boxes->texts, QStringList{Downloaded});
    QCOMPARE(printer->downloads().size(), 1);
    const QByteArray frame = printer->downloads().first();
    QCOMPARE(frame.left(3), hex("1C71FF"));
    QCOMPARE(frame.size(), 3 + 255 * 12);
    QCOMPARE(printer->state().logos.size(), 255);
}

void TestLogoGui::downloadRefusals_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("message");
    QTest::newRow("no image chosen") << QStringList() << ChooseImages;
    QTest::newRow("none loads") << QStringList{"broken", "missing"} << ChooseImages;
    QTest::newRow("256 images") << repeated(256, "dot") << TooMany;
    QTest::newRow("256 chosen, one broken among them: 255 sent")
        << (repeated(255, "dot") << "broken") << Downloaded;
}

void TestLogoGui::downloadRefusals()
{
    QFETCH(QStringList, names);
    QFETCH(QString, message);
    sim::PrinterState state = sim::defaultState();
    state.logos = {hex("01000100 8000000000000000")};
    sim::SimPrinter* printer = plugAndRefresh(state);
    const QString dot = save("dot.png", filled(1, 1, 0));
    const QString broken = saveBytes("broken.png", "not an image");
    QStringList files;
    for (const QString& name : names)
        files << (name == "dot" ? dot : name == "broken" ? broken : m_dir->filePath("missing.png"));
    choose(files);
    click("pushButton_6");
    QCOMPARE(m_boxes->texts, QStringList{message});
    if (message == Downloaded) {
        QCOMPARE(printer->downloads().size(), 1);
        QCOMPARE(printer->downloads().first().left(3), hex("1C71FF"));
        return;
    }
    QVERIFY2(printer->received().isEmpty(), qPrintable(framesHex(printer->received())));
    QCOMPARE(printer->state().logos, state.logos);
}

void TestLogoGui::downloadFailureReported_data()
{
    QTest::addColumn<sim::Fault>("fault");
    QTest::newRow("write fails (4)") << sim::Fault::WriteError;
    QTest::newRow("open refused (5)") << sim::Fault::OpenRefused;
    QTest::newRow("part of the frame written") << sim::Fault::PartialWrite;
}

void TestLogoGui::downloadFailureReported()
{
    QFETCH(sim::Fault, fault);
    sim::SimPrinter* printer = plugAndRefresh();
    choose({save("dot.png", filled(8, 8, 0))});
    printer->setFault(fault, 4);
    click("pushButton_6");
    QCOMPARE(m_boxes->texts, QStringList{CheckUsb});
}

void TestLogoGui::printFrame_data()
{
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("radio");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("5, double height") << "5"
                                      << "radioButton_3" << hex("1C700502");
    QTest::newRow("5, none checked") << "5"
                                     << "" << hex("1C700503");
    QTest::newRow("1, single") << "1"
                               << "radioButton" << hex("1C700100");
    QTest::newRow("255, double width") << "255"
                                       << "radioButton_2" << hex("1C70FF01");
    QTest::newRow("12, double both") << "12"
                                     << "radioButton_4" << hex("1C700C03");
}

void TestLogoGui::printFrame()
{
    QFETCH(QString, number);
    QFETCH(QString, radio);
    QFETCH(QByteArray, expected);
    sim::SimPrinter* printer = plugAndRefresh();
    widget<QLineEdit>("lineEdit_2")->setText(number);
    if (!radio.isEmpty())
        widget<QRadioButton>(qPrintable(radio))->setChecked(true);
    click("pushButton_4");
    QVERIFY2(printer->prints() == QList<QByteArray>{expected},
             qPrintable(diff(printer->prints(), {expected})));
    QCOMPARE(printer->received(), QList<QByteArray>{expected});
    QVERIFY(m_boxes->texts.isEmpty());
    for (char byte : expected) {
        const QString line = QString::asprintf("download  %02X", unsigned(uchar(byte)));
        QVERIFY2(logged(line), qPrintable(line));
    }
}

void TestLogoGui::printRefusesBadNumber_data()
{
    QTest::addColumn<QString>("number");
    QTest::newRow("empty") << "";
    QTest::newRow("0") << "0";
    QTest::newRow("256") << "256";
    QTest::newRow("300, which would wrap to 44") << "300";
    QTest::newRow("-1") << "-1";
    QTest::newRow("letters") << "abc";
    QTest::newRow("number and letters") << "5x";
}

void TestLogoGui::printRefusesBadNumber()
{
    QFETCH(QString, number);
    sim::SimPrinter* printer = plugAndRefresh();
    widget<QLineEdit>("lineEdit_2")->setText(number);
    widget<QRadioButton>("radioButton")->setChecked(true);
    click("pushButton_4");
    QCOMPARE(m_boxes->texts, QStringList{BadNumber});
    QVERIFY2(printer->received().isEmpty(), qPrintable(framesHex(printer->received())));
}

void TestLogoGui::printFailureIsSilent()
{
    sim::SimPrinter* printer = plugAndRefresh();
    printer->setFault(sim::Fault::WriteError);
    widget<QLineEdit>("lineEdit_2")->setText("3");
    click("pushButton_4");
    QVERIFY(m_boxes->texts.isEmpty());
    QVERIFY(logged("download  1C"));
}

void TestLogoGui::everyPathReleasesThePrinter()
{
    sim::SimPrinter* printer = plugAndRefresh();
    const QString dot = save("dot.png", filled(8, 8, 0));
    const QString large = save("large.png", filled(1024, 960, 0));
    auto everyPath = [&] {
        m_choice.clear();
        click("pushButton_5");
        click("pushButton_6"); // nothing chosen
        m_choice = QStringList{large};
        click("pushButton_5");
        click("pushButton_6"); // too large
        m_choice = QStringList{dot};
        click("pushButton_5");
        click("pushButton_6"); // sent
        widget<QLineEdit>("lineEdit_2")->setText("0");
        click("pushButton_4"); // refused
        widget<QLineEdit>("lineEdit_2")->setText("1");
        click("pushButton_4"); // sent
    };
    everyPath();
    const int baseline = openFileDescriptors();
    for (int i = 0; i < 10; ++i)
        everyPath();
    QCOMPARE(openFileDescriptors(), baseline);
    QCOMPARE(printer->downloads().size(), 11);
    QCOMPARE(printer->prints().size(), 11);
}

QTEST_MAIN(TestLogoGui)
#include "tst_logo_gui.moc"
