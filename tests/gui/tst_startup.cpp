#include "mainwindow.h"
#include "startup.h"

#include <QComboBox>
#include <QRegularExpression>
#include <QTranslator>
#include <QtTest>

namespace {

const QString SkipLine = QStringLiteral("System language is not English, skipping translation.");
const QString LoadedLine = QStringLiteral("Translation file loaded successfully.");
const QString FailedLine = QStringLiteral("Failed to load translation file.");
const QString ChineseTitle = QStringLiteral("票据机设置工具");

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void language_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<bool>("english");
        for (const char* chinese : {"zh_CN", "zh_TW", "zh_HK", "zh_SG"})
            QTest::newRow(chinese) << chinese << false;
        for (const char* other : {"en_US", "de_DE", "ja_JP", "C"})
            QTest::newRow(other) << other << true;
    }

    void language()
    {
        QFETCH(QString, locale);
        QFETCH(bool, english);
        QTranslator translator;
        // The test fails unless the choice is logged.
        QTest::ignoreMessage(QtDebugMsg, qPrintable(english ? LoadedLine : SkipLine));

        QCOMPARE(installTranslation(*qApp, translator, QLocale(locale)), english);
        QCOMPARE(applicationTitle(), english ? "Receipt Printer Setup Tool" : ChineseTitle);
        // The window is built after the choice, so its form comes up in that language.
        MainWindow window;
        QCOMPARE(window.findChild<QWidget*>("pushButton_7")->property("text").toString(),
                 english ? "Refresh" : "刷新");
        QCOMPARE(QObject::tr("请先连接打印机"),
                 english ? "Please connect the printer first" : "请先连接打印机");
    }

    // Every text the English window shows, and its title, has its English: none stays Chinese.
    void englishWindowKeepsNoChinese()
    {
        QTranslator translator;
        QVERIFY(installTranslation(*qApp, translator, QLocale(QLocale::English)));
        MainWindow window;
        QStringList texts{applicationTitle()};
        for (const QWidget* widget : window.findChildren<QWidget*>()) {
            texts << widget->property("text").toString() << widget->property("title").toString()
                  << widget->accessibleName() << widget->accessibleDescription();
            if (const auto* combo = qobject_cast<const QComboBox*>(widget))
                for (int i = 0; i < combo->count(); ++i)
                    texts << combo->itemText(i);
        }
        texts.removeAll(QString());
        QVERIFY(texts.size() > 30);
        for (const QString& text : texts)
            QVERIFY2(!text.contains(QRegularExpression(QStringLiteral("\\p{Han}"))),
                     qPrintable(text));
    }

    void missingTranslationStaysChinese()
    {
        Q_CLEANUP_RESOURCE(translations);
        QTranslator translator;
        QTest::ignoreMessage(QtWarningMsg, qPrintable(FailedLine));
        const bool installed = installTranslation(*qApp, translator, QLocale(QLocale::English));
        Q_INIT_RESOURCE(translations);

        QVERIFY(!installed);
        QCOMPARE(applicationTitle(), ChineseTitle);
    }
};

int main(int argc, char* argv[])
{
    prepareDisplayScaling();
    QApplication app(argc, argv);
    TestStartup test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_startup.moc"
