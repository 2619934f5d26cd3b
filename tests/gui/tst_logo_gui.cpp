#include "guitest.h"
#include "logwatcher.h"
#include "protocol/logo.h"

#include <QGraphicsPixmapItem>
#include <QGraphicsView>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(sim::Fault)

using namespace guitest;

namespace {

const QString ChooseImages = QStringLiteral("请先选择图片");
const QString Downloaded = QStringLiteral("下载成功");
const QByteArray DotBlock = hex("01000100 FFFFFFFFFFFFFFFF"); // 1x1 or 8x8 black

QImage filled(int width, int height, uchar grey)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(qRgb(grey, grey, grey));
    return image;
}

QStringList framesOf(const QByteArray& frame)
{
    return frame.isEmpty() ? QStringList() : hexFrames({frame});
}

} // namespace

class TestLogoGui : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<MessageBoxCatcher> m_boxes;
    std::unique_ptr<LogWatcher> m_log;
    std::unique_ptr<MainWindow> m_window;
    QStringList m_choice;
    QList<QWidget*> m_dialogParents; // one for each file dialog shown

    QString path(const QString& name) const { return m_dir.filePath(name + ".png"); }
    bool logged(const QString& line) const { return m_log->contains(QtDebugMsg, line); }

    // Clicks, then checks what every click must leave behind: no wait cursor, none over a box.
    void click(const char* name)
    {
        button(m_window.get(), name)->click();
        QVERIFY2(!QApplication::overrideCursor(), name);
        QVERIFY2(!m_boxes->cursorOverBox, name);
    }
    void choose(const QStringList& names)
    {
        m_choice.clear();
        for (const QString& name : names)
            m_choice << path(name);
        click("pushButton_5");
    }
    sim::SimPrinter* plug()
    {
        sim::SimPrinter* printer = addPrinter(1);
        selectPort(m_window.get(), 1);
        return printer;
    }

private slots:
    void initTestCase()
    {
        sim::SimBus::instance(); // before libusb first starts, or libusb never sees its printers
        MainWindow::setImageChooser([this](QWidget* parent) {
            m_dialogParents << parent;
            return m_choice;
        });
        // Left half one step darker than the threshold, right half at it.
        QImage wide = filled(100, 50, 158);
        for (int y = 0; y < 50; ++y)
            for (int x = 0; x < 50; ++x)
                wide.setPixel(x, y, qRgb(157, 157, 157));
        // Just over 64 megapixels, yet small on disk.
        QImage huge(8001, 8000, QImage::Format_Mono);
        huge.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
        huge.fill(1);
        const QList<QPair<QString, QImage>> images{{"wide", wide},
                                                   {"big", filled(1000, 1000, 0)},
                                                   {"dot", filled(1, 1, 0)},
                                                   {"huge", huge},
                                                   {"black8", filled(8, 8, 0)},
                                                   {"white10", filled(10, 8, 255)},
                                                   {"tall952", filled(1024, 952, 0)},
                                                   {"tall960", filled(1024, 960, 0)}};
        for (const auto& image : images)
            QVERIFY(image.second.save(path(image.first), "PNG"));
        // Only the limit keeps it out: it decodes when allowed.
        QCOMPARE(logo::loadGreyImage(path("huge"), 8001 * 8000).size(), QSize(8001, 8000));
        QFile broken(path("broken"));
        QVERIFY(broken.open(QIODevice::WriteOnly) && broken.write("\x89PNG but no more") > 0);
    }

    void init()
    {
        m_boxes = std::make_unique<MessageBoxCatcher>();
        m_log = std::make_unique<LogWatcher>();
        m_window = std::make_unique<MainWindow>();
        m_window->show();
        m_dialogParents.clear();
    }

    void cleanup()
    {
        m_window.reset();
        m_log.reset();
        m_boxes.reset();
        imageFiles.clear();
        sim::SimBus::instance().clear();
    }

    void previewThenCancel()
    {
        sim::SimPrinter* printer = plug();
        choose({"wide", "broken", "huge", "big"});
        QCOMPARE(m_dialogParents, QList<QWidget*>{m_window.get()});
        QCOMPARE(imageFiles, m_choice);
        QGraphicsScene* scene = child<QGraphicsView>(m_window.get(), "graphicsView")->scene();
        QList<QGraphicsPixmapItem*> items;
        for (QGraphicsItem* item : scene->items(Qt::AscendingOrder))
            items << qgraphicsitem_cast<QGraphicsPixmapItem*>(item);
        QCOMPARE(items.size(), 2);
        QVERIFY(items[0] && items[1]);
        QCOMPARE(items[0]->pos(), QPointF(0, 0));
        QCOMPARE(items[0]->pixmap().size(), QSize(400, 200));
        QCOMPARE(items[1]->pos(), QPointF(0, 320));
        QCOMPARE(items[1]->pixmap().size(), QSize(300, 300));
        QCOMPARE(items[0]->pixmap().toImage().pixel(100, 100), qRgb(0, 0, 0));
        QCOMPARE(items[0]->pixmap().toImage().pixel(300, 100), qRgb(255, 255, 255));
        QCOMPARE(items[1]->pixmap().toImage().pixel(150, 150), qRgb(0, 0, 0));
        for (const QString& line :
             {"已处理文件: " + path("wide"), QStringLiteral("outputWidth: 104"),
              "加载图像失败: " + path("broken"), "加载图像失败: " + path("huge"),
              "已处理文件: " + path("big"), QStringLiteral("outputWidth: 1000")})
            QVERIFY2(logged(line), qPrintable(line));
        QVERIFY(!logged("已处理文件: " + path("broken")));

        choose({});
        QCOMPARE(m_dialogParents.size(), 2);
        QVERIFY(scene->items().isEmpty());
        QVERIFY(imageFiles.isEmpty());
        click("pushButton_6");
        QCOMPARE(m_boxes->texts, QStringList{ChooseImages});
        QCOMPARE(hexFrames(printer->received()), QStringList());
    }

    void packingMembers()
    {
        uchar alternating[10] = {0, 255, 0, 255, 0, 255, 0, 255, 0, 255};
        QByteArray out = hex("5A5A");
        auto* dst = reinterpret_cast<uchar*>(out.data());
        QVERIFY(m_window->Bitmap_8to1(alternating, dst, 10, 0));
        QCOMPARE(hexFrames({out}), hexFrames({hex("5A5A")}));
        QVERIFY(m_window->Bitmap_8to1(alternating, dst, 10, 1));
        QCOMPARE(hexFrames({out}), hexFrames({hex("AA80")}));
        QVERIFY(m_window->Bitmap_8to1_toshow(alternating, dst, 10, 1));
        QCOMPARE(hexFrames({out}), hexFrames({hex("5540")}));
    }

    void download_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QByteArray>("frame"); // empty: nothing may be sent
        QTest::addColumn<QString>("line");
        QStringList dots;
        while (dots.size() < 255)
            dots << QStringLiteral("dot");
        QTest::newRow("count is the blocks that follow")
            << QStringList{"black8", "missing", "white10"} << Downloaded
            << hex("1C7102") + DotBlock + hex("02000100 00000000000000000000 FFFFFFFFFFFF")
            << "imageCount 3";
        QTest::newRow("over 64 megapixels skipped")
            << QStringList{"huge", "dot"} << Downloaded << hex("1C7101") + DotBlock
            << "加载图像失败: " + path("huge");
        QTest::newRow("1024x952 sent")
            << QStringList{"tall952"} << Downloaded
            << hex("1C7101 8000 7700") + QByteArray(122880 - 1017 - 7, -1) << "height: 952";
        QTest::newRow("1024x960 refused") << QStringList{"tall960"} << "文件数据过大请重新选择图片"
                                          << QByteArray() << "width: 1024";
        QTest::newRow("none loads") << QStringList{"broken", "missing"} << ChooseImages
                                    << QByteArray() << "加载图像失败: " + path("missing");
        QTest::newRow("256 images") << dots + QStringList{"dot"} << "图片数量不能超过255张"
                                    << QByteArray() << "imageCount 256";
        QTest::newRow("256 chosen, one broken: 255 sent")
            << dots + QStringList{"broken"} << Downloaded << hex("1C71FF") + DotBlock.repeated(255)
            << "imageCount 256";
    }

    void download()
    {
        QFETCH(QStringList, files);
        QFETCH(QString, message);
        QFETCH(QByteArray, frame);
        QFETCH(QString, line);
        sim::SimPrinter* printer = plug();
        choose(files);
        click("pushButton_6");
        QCOMPARE(m_boxes->texts, QStringList{message});
        QCOMPARE(hexFrames(printer->received()), framesOf(frame));
        QCOMPARE(hexFrames(printer->downloads()), framesOf(frame));
        QVERIFY2(logged(line), qPrintable(line));
    }

    void failure_data()
    {
        QTest::addColumn<sim::Fault>("fault");
        QTest::addColumn<QString>("clicked");
        QTest::addColumn<QStringList>("messages");
        const QStringList checkUsb{"请确保打印机已通过usb进行连接"};
        QTest::newRow("download, write fails (4)")
            << sim::Fault::WriteError << "pushButton_6" << checkUsb;
        QTest::newRow("download, open refused (5)")
            << sim::Fault::OpenRefused << "pushButton_6" << checkUsb;
        QTest::newRow("download, part written")
            << sim::Fault::PartialWrite << "pushButton_6" << checkUsb;
        QTest::newRow("print stays silent")
            << sim::Fault::WriteError << "pushButton_4" << QStringList();
    }

    void failure()
    {
        QFETCH(sim::Fault, fault);
        QFETCH(QString, clicked);
        QFETCH(QStringList, messages);
        sim::SimPrinter* printer = plug();
        choose({"dot"});
        edit(m_window.get(), "lineEdit_2")->setText("3");
        printer->setFault(fault, 4);
        click(qPrintable(clicked));
        QCOMPARE(m_boxes->texts, messages);
    }

    void print_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QByteArray>("frame"); // empty: refused
        QTest::addColumn<QString>("radio");
        QTest::newRow("5, double height") << "5" << hex("1C700502") << "radioButton_3";
        QTest::newRow("5, none checked") << "5" << hex("1C700503") << "";
        QTest::newRow("1, single") << "1" << hex("1C700100") << "radioButton";
        QTest::newRow("255, double width") << "255" << hex("1C70FF01") << "radioButton_2";
        QTest::newRow("12, double both") << "12" << hex("1C700C03") << "radioButton_4";
        for (const char* bad : {"", "0", "256", "300", "-1", "abc", "5x"})
            QTest::addRow("refused: '%s'", bad) << bad << QByteArray() << "radioButton";
    }

    void print()
    {
        QFETCH(QString, number);
        QFETCH(QByteArray, frame);
        QFETCH(QString, radio);
        sim::SimPrinter* printer = plug();
        edit(m_window.get(), "lineEdit_2")->setText(number);
        if (!radio.isEmpty())
            child<QRadioButton>(m_window.get(), qPrintable(radio))->setChecked(true);
        click("pushButton_4");
        QCOMPARE(hexFrames(printer->prints()), framesOf(frame));
        QCOMPARE(hexFrames(printer->received()), framesOf(frame));
        QCOMPARE(m_boxes->texts,
                 frame.isEmpty() ? QStringList{"请输入1到255之间的logo编号"} : QStringList());
        for (char byte : frame) {
            const QString line = QString::asprintf("download  %02X", unsigned(uchar(byte)));
            QVERIFY2(logged(line), qPrintable(line));
        }
    }

    void everyPathReleasesThePrinter()
    {
        sim::SimPrinter* printer = plug();
        auto everyPath = [&] {
            for (const char* chosen : {"", "tall960", "dot"}) { // none, too large, sent
                choose(chosen[0] ? QStringList{chosen} : QStringList());
                click("pushButton_6");
            }
            for (const char* number : {"0", "1"}) { // refused, sent
                edit(m_window.get(), "lineEdit_2")->setText(number);
                click("pushButton_4");
            }
        };
        everyPath();
        const int baseline = openDescriptors();
        for (int i = 0; i < 10; ++i)
            everyPath();
        QCOMPARE(openDescriptors(), baseline);
        QCOMPARE(printer->downloads().size(), 11);
        QCOMPARE(printer->prints().size(), 11);
    }
};

QTEST_MAIN(TestLogoGui)
#include "tst_logo_gui.moc"
