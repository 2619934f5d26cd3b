#include "guitest.h"

#include <QBuffer>
#include <QGraphicsPixmapItem>
#include <QGraphicsView>
#include <QPainter>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(sim::Fault)

using namespace guitest;

namespace {

const QString ChooseImages = QStringLiteral("请先选择图片");
const QString Downloaded = QStringLiteral("下载成功");
const QByteArray DotBlock = hex("01000100 FFFFFFFFFFFFFFFF"); // 8x8 black

QImage filled(int width, int height, QRgb colour, QImage::Format format = QImage::Format_RGB32)
{
    QImage image(width, height, format);
    image.fill(colour);
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
    std::unique_ptr<MainWindow> m_window;
    QStringList m_choice;
    QList<QWidget*> m_dialogParents; // one for each file dialog shown

    QString path(const QString& name) const { return m_dir.filePath(name + ".png"); }

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
        QImage wide = filled(100, 50, qRgb(158, 158, 158));
        QPainter(&wide).fillRect(0, 0, 50, 50, QColor(157, 157, 157));
        // Transparent black but for the top-left pixel: a logo on a transparent background.
        QImage clear = filled(8, 8, qRgba(0, 0, 0, 0), QImage::Format_ARGB32);
        clear.setPixel(0, 0, qRgba(0, 0, 0, 255));
        // The two largest are 1-bit, small on disk.
        const QList<QPair<QString, QImage>> images{
            {"wide", wide},
            {"clear", clear},
            {"big", filled(1000, 1000, 0)},
            {"dot", filled(8, 8, 0)},
            {"huge", filled(4001, 4000, 1, QImage::Format_Mono)},
            {"limit", filled(4000, 4000, 1, QImage::Format_Mono)},
            {"black10x3", filled(10, 3, 0)},
            {"tall952", filled(1024, 952, 0)},
            {"tall960", filled(1024, 960, 0)}};
        for (const auto& image : images)
            QVERIFY(image.second.save(path(image.first), "PNG"));
        // A JPEG cut short: the toolkit decodes it, the missing part grey.
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        QVERIFY(wide.save(&buffer, "JPEG"));
        QFile cut(path("cut"));
        QVERIFY(cut.open(QIODevice::WriteOnly) && cut.write(jpeg.left(jpeg.size() * 9 / 10)));
        cut.close();
        QCOMPARE(QImage(path("cut")).size(), QSize(100, 50));
        // A phone photo: stored 16x8 with its left half black, and an EXIF orientation of 6 (turn
        // a quarter clockwise), so that it shows 8x16 with its top half black.
        QImage stored = filled(16, 8, qRgb(255, 255, 255));
        QPainter(&stored).fillRect(0, 0, 8, 8, Qt::black);
        QByteArray photo;
        QBuffer photoBuffer(&photo);
        QVERIFY(stored.save(&photoBuffer, "JPEG", 100));
        // APP1: "Exif", a big-endian TIFF header, one entry: Orientation (0112), SHORT, 1, 6.
        photo.insert(2, QByteArray::fromHex("FFE10022 457869660000 4D4D002A00000008 0001"
                                            "011200030000000100060000 00000000"));
        QFile photoFile(path("photo"));
        QVERIFY(photoFile.open(QIODevice::WriteOnly) && photoFile.write(photo));
    }

    void init()
    {
        m_boxes = std::make_unique<MessageBoxCatcher>();
        m_window = std::make_unique<MainWindow>();
        m_window->show();
        m_dialogParents.clear();
    }

    void cleanup()
    {
        m_window.reset();
        m_boxes.reset();
        imageFiles.clear();
        sim::SimBus::instance().clear();
    }

    void previewThenCancel()
    {
        choose({"wide", "missing", "clear", "cut", "big"});
        QCOMPARE(m_dialogParents, QList<QWidget*>{m_window.get()});
        QCOMPARE(imageFiles, m_choice);
        QGraphicsScene* scene = child<QGraphicsView>(m_window.get(), "graphicsView")->scene();
        QList<QGraphicsPixmapItem*> items;
        for (QGraphicsItem* item : scene->items(Qt::AscendingOrder))
            items << qgraphicsitem_cast<QGraphicsPixmapItem*>(item);
        QCOMPARE(items.size(), 3);
        const QList<QRect> boxes{{0, 0, 400, 200}, {0, 320, 300, 300}, {0, 640, 300, 300}};
        QList<QImage> shown;
        for (int i = 0; i < 3; ++i) {
            QVERIFY(items[i]);
            QCOMPARE(items[i]->pos(), QPointF(boxes[i].topLeft()));
            shown << items[i]->pixmap().toImage();
            QCOMPARE(shown[i].size(), boxes[i].size());
        }
        // Each side of the threshold, and the transparent background shown as paper.
        const QRgb black = qRgb(0, 0, 0), white = qRgb(255, 255, 255);
        QCOMPARE(
            QList<QRgb>({shown[0].pixel(100, 100), shown[0].pixel(300, 100), shown[1].pixel(10, 10),
                         shown[1].pixel(150, 150), shown[2].pixel(150, 150)}),
            QList<QRgb>({black, white, black, white, black}));

        choose({});
        QCOMPARE(m_dialogParents.size(), 2);
        QVERIFY(scene->items().isEmpty());
        QVERIFY(imageFiles.isEmpty());
    }

    void packingMembers()
    {
        uchar alternating[10] = {0, 255, 0, 255, 0, 255, 0, 255, 0, 255};
        uchar out[2] = {0x5A, 0x5A};
        QVERIFY(m_window->Bitmap_8to1(alternating, out, 10, 0) && out[0] == 0x5A);
        QVERIFY(m_window->Bitmap_8to1(alternating, out, 10, 1) && out[0] == 0xAA && out[1] == 0x80);
        QVERIFY(m_window->Bitmap_8to1_toshow(alternating, out, 10, 1) && out[0] == 0x55 &&
                out[1] == 0x40);
    }

    void download_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QByteArray>("frame"); // empty: nothing may be sent
        QTest::addColumn<sim::Fault>("fault");
        const QStringList dots = QVector<QString>(255, "dot").toList();
        const QString tooLarge = QStringLiteral("文件数据过大请重新选择图片");
        const QString checkUsb = QStringLiteral("请确保打印机已通过usb进行连接");
        const auto row = [](const char* name, const QStringList& files, const QString& message,
                            const QByteArray& frame = {}, sim::Fault fault = sim::Fault::None) {
            QTest::newRow(name) << files << message << frame << fault;
        };
        row("count is the blocks that follow, padding is white", {"dot", "missing", "black10x3"},
            Downloaded,
            hex("1C7102") + DotBlock + hex("02000100 E0E0E0E0E0E0E0E0E0E0 000000000000"));
        row("transparent pixels are paper", {"clear"}, Downloaded,
            hex("1C7101 01000100 8000000000000000"));
        row("a photo turned upright by its EXIF orientation", {"photo"}, Downloaded,
            hex("1C7101 01000200") + hex("FF00").repeated(8));
        row("damaged JPEG skipped", {"cut", "dot"}, Downloaded, hex("1C7101") + DotBlock);
        row("over 16 megapixels skipped", {"huge", "dot"}, Downloaded, hex("1C7101") + DotBlock);
        row("16 megapixels read, then too large", {"limit", "dot"}, tooLarge);
        row("1024x952 sent", {"tall952"}, Downloaded,
            hex("1C7101 8000 7700") + QByteArray(1024 * 119, -1));
        row("1024x960 refused", {"tall960"}, tooLarge);
        row("too large together", {"tall952", "tall952"}, tooLarge);
        row("none loads", {"missing", "cut"}, ChooseImages);
        row("none chosen", {}, ChooseImages);
        row("256 images", dots + QStringList{"dot"}, "图片数量不能超过255张");
        row("256 chosen, one damaged: 255 sent", dots + QStringList{"cut"}, Downloaded,
            hex("1C71FF") + DotBlock.repeated(255));
        row("write fails (4)", {"dot"}, checkUsb, {}, sim::Fault::WriteError);
        row("open refused (5)", {"dot"}, checkUsb, {}, sim::Fault::OpenRefused);
        row("part written", {"dot"}, checkUsb, {}, sim::Fault::PartialWrite);
    }

    void download()
    {
        QFETCH(QStringList, files);
        QFETCH(QString, message);
        QFETCH(QByteArray, frame);
        QFETCH(sim::Fault, fault);
        sim::SimPrinter* printer = plug();
        choose(files);
        printer->setFault(fault, 4);
        click("pushButton_6");
        QCOMPARE(m_boxes->texts, QStringList{message});
        if (fault == sim::Fault::None)
            QCOMPARE(hexFrames(printer->received()), framesOf(frame));
    }

    void print_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QByteArray>("frame"); // empty: refused
        QTest::addColumn<QString>("radio");
        QTest::addColumn<bool>("writeFails"); // then silent all the same
        QTest::newRow("5, double height") << "5" << hex("1C700502") << "radioButton_3" << false;
        QTest::newRow("write fails") << "5" << QByteArray() << "radioButton_3" << true;
        QTest::newRow("5, none checked") << "5" << hex("1C700503") << "" << false;
        QTest::newRow("1, single") << "1" << hex("1C700100") << "radioButton" << false;
        QTest::newRow("255, double width") << "255" << hex("1C70FF01") << "radioButton_2" << false;
        QTest::newRow("12, double both") << "12" << hex("1C700C03") << "radioButton_4" << false;
        for (const char* bad : {"", "0", "256", "300", "-1", "abc", "5x"})
            QTest::addRow("refused: '%s'", bad) << bad << QByteArray() << "radioButton" << false;
    }

    void print()
    {
        QFETCH(QString, number);
        QFETCH(QByteArray, frame);
        QFETCH(QString, radio);
        QFETCH(bool, writeFails);
        sim::SimPrinter* printer = plug();
        edit(m_window.get(), "lineEdit_2")->setText(number);
        if (!radio.isEmpty())
            child<QRadioButton>(m_window.get(), qPrintable(radio))->setChecked(true);
        printer->setFault(writeFails ? sim::Fault::WriteError : sim::Fault::None);
        click("pushButton_4");
        QCOMPARE(hexFrames(printer->prints()), framesOf(frame));
        QCOMPARE(hexFrames(printer->received()), framesOf(frame));
        QCOMPARE(m_boxes->texts, frame.isEmpty() && !writeFails
                                     ? QStringList{"请输入1到255之间的logo编号"}
                                     : QStringList());
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
        QVERIFY_NO_DESCRIPTOR_LEAK(baseline);
        QCOMPARE(printer->downloads().size(), 11);
        QCOMPARE(printer->prints().size(), 11);
    }
};

QTEST_MAIN(TestLogoGui)
#include "tst_logo_gui.moc"
