#include "logwatcher.h"
#include "mainwindow.h"
#include "startup.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QRegularExpression>
#include <QTranslator>
#include <QtTest>

Q_DECLARE_METATYPE(QLocale)

namespace {

const QString SkipLine = QStringLiteral("System language is not English, skipping translation.");
const QString LoadedLine = QStringLiteral("Translation file loaded successfully.");
const QString FailedLine = QStringLiteral("Failed to load translation file.");

// Every text the window shows: titles, labels, buttons and combo items.
QStringList shownTexts(const QWidget& window)
{
    QStringList texts;
    for (const QGroupBox* box : window.findChildren<QGroupBox*>())
        texts << box->title();
    for (const QLabel* label : window.findChildren<QLabel*>())
        texts << label->text();
    for (const QAbstractButton* button : window.findChildren<QAbstractButton*>())
        texts << button->text();
    for (const QComboBox* combo : window.findChildren<QComboBox*>())
        for (int i = 0; i < combo->count(); ++i)
            texts << combo->itemText(i);
    texts.removeAll(QString());
    return texts;
}

bool hasChinese(const QString& text)
{
    static const QRegularExpression han(QStringLiteral("\\p{Han}"));
    return han.match(text).hasMatch();
}

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void displayScalingSetBeforeTheApplication();
    void language_data();
    void language();
    void englishWindowKeepsNoChinese();
    void missingTranslationStaysChinese();
};

// main() of this test sets other values first, as a user's environment might.
void TestStartup::displayScalingSetBeforeTheApplication()
{
    QVERIFY(QCoreApplication::testAttribute(Qt::AA_DisableHighDpiScaling));
    QVERIFY(QCoreApplication::testAttribute(Qt::AA_UseHighDpiPixmaps));
    QCOMPARE(qgetenv("QT_AUTO_SCREEN_SCALE_FACTOR"), QByteArray("1.5"));
    QCOMPARE(qgetenv("QT_SCALE_FACTOR"), QByteArray("1"));
}

void TestStartup::language_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<bool>("english");

    QTest::newRow("zh_CN") << QLocale(QLocale::Chinese, QLocale::China) << false;
    QTest::newRow("zh_TW") << QLocale(QLocale::Chinese, QLocale::TraditionalChineseScript,
                                      QLocale::Taiwan)
                           << false;
    QTest::newRow("zh_HK") << QLocale(QStringLiteral("zh_HK")) << false;
    QTest::newRow("zh_SG") << QLocale(QStringLiteral("zh_SG")) << false;
    QTest::newRow("en_US") << QLocale(QLocale::English, QLocale::UnitedStates) << true;
    QTest::newRow("de_DE") << QLocale(QLocale::German, QLocale::Germany) << true;
    QTest::newRow("ja_JP") << QLocale(QLocale::Japanese, QLocale::Japan) << true;
    QTest::newRow("C") << QLocale::c() << true;
}

void TestStartup::language()
{
    QFETCH(QLocale, locale);
    QFETCH(bool, english);
    LogWatcher log;
    QTranslator translator;

    QCOMPARE(installTranslation(*qApp, translator, locale), english);

    QCOMPARE(log.contains(QtDebugMsg, SkipLine), !english);
    QCOMPARE(log.contains(QtDebugMsg, LoadedLine), english);
    QVERIFY(!log.contains(QtWarningMsg, FailedLine));
    QCOMPARE(applicationTitle(), english ? QStringLiteral("Receipt Printer Setup Tool")
                                         : QStringLiteral("票据机设置工具"));
    // The window is built after the choice, so its form comes up in that language.
    MainWindow window;
    const auto* refresh = window.findChild<QAbstractButton*>(QStringLiteral("pushButton_7"));
    QVERIFY(refresh);
    QCOMPARE(refresh->text(), english ? QStringLiteral("Refresh") : QStringLiteral("刷新"));
    QCOMPARE(QObject::tr("请先连接打印机"), english
                                                ? QStringLiteral("Please connect the printer first")
                                                : QStringLiteral("请先连接打印机"));
}

// Every form text and the title have their English: none is left in Chinese.
void TestStartup::englishWindowKeepsNoChinese()
{
    QTranslator translator;
    QVERIFY(installTranslation(*qApp, translator, QLocale(QLocale::English)));
    MainWindow window;
    window.setWindowTitle(applicationTitle());

    const QStringList texts = shownTexts(window) << window.windowTitle();
    QVERIFY(texts.size() > 30);
    for (const QString& text : texts)
        QVERIFY2(!hasChinese(text), qPrintable(text));
}

void TestStartup::missingTranslationStaysChinese()
{
    Q_CLEANUP_RESOURCE(translations);
    LogWatcher log;
    QTranslator translator;

    const bool installed = installTranslation(*qApp, translator, QLocale(QLocale::English));

    Q_INIT_RESOURCE(translations);
    QVERIFY(!installed);
    QVERIFY(log.contains(QtWarningMsg, FailedLine));
    QVERIFY(!log.contains(QtDebugMsg, LoadedLine));
    QCOMPARE(applicationTitle(), QStringLiteral("票据机设置工具"));
}

int main(int argc, char* argv[])
{
    qputenv("QT_AUTO_SCREEN_SCALE_FACTOR", "0");
    qputenv("QT_SCALE_FACTOR", "2");
    prepareDisplayScaling();
    QApplication app(argc, argv);
    TestStartup test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_startup.moc"
