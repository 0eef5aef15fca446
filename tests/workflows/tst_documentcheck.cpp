// The document text check: its message and informative text for no, one,
// two, exactly forty and forty-one pages without text, and that running it
// changes nothing.

#include "AppDriver.h"
#include "Fixtures.h"

#include <QLabel>

class DocumentCheckTest : public QObject
{
    Q_OBJECT

  private:
    QTemporaryDir dir;

    // A document of `pages` pages of which those in `scans` have no text.
    QString build(int pages, const QList<int>& scans)
    {
        Fixtures::Document doc;
        for (int i = 0; i < pages; ++i) {
            Fixtures::Page page;
            if (scans.contains(i))
                page.image = true;
            else
                page.texts = {{QString("SHEET %1").arg(i + 1), 72, 72, 12}};
            doc.pages.append(page);
        }
        return AppDriver::writeFile(dir, QString("set-%1-%2.pdf").arg(pages).arg(scans.size()),
                                    Fixtures::build(doc).bytes);
    }

    static QList<int> range(int from, int count)
    {
        QList<int> list;
        for (int i = 0; i < count; ++i)
            list.append(from + i);
        return list;
    }

  private Q_SLOTS:
    void texts_data()
    {
        QTest::addColumn<int>("pages");
        QTest::addColumn<QList<int>>("scans");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("list");
        QTest::newRow("two") << 12 << QList<int>{4, 0} << "2 pages need manual names"
                             << "1, 5";
        QTest::newRow("one") << 3 << QList<int>{2} << "1 pages need manual names"
                             << "3";
        QStringList forty;
        for (int i = 1; i <= 40; ++i)
            forty.append(QString::number(i));
        QTest::newRow("forty") << 42 << range(0, 40) << "40 pages need manual names" << forty.join(", ");
        QTest::newRow("forty-one") << 42 << range(0, 41) << "41 pages need manual names"
                                   << forty.join(", ") + QString(", \u2026");
    }
    void texts()
    {
        QFETCH(int, pages);
        QFETCH(QList<int>, scans);
        QFETCH(QString, message);
        QFETCH(QString, list);
        AppDriver driver;
        const QString path = build(pages, scans);
        QVERIFY(!path.isEmpty());
        QVERIFY(driver.open(path));
        // Shown by itself after the open.
        QCOMPARE(driver.toolkit->alerts.size(), 1);
        const ScriptedToolkit::Alert alert = driver.toolkit->alerts[0];
        QCOMPARE(alert.message, message);
        QCOMPARE(alert.button, QString("Continue"));
        QCOMPARE(
            alert.informative,
            QString("Checked %1 source pages. No extractable text on source pages: %2.\n\nOCR is not "
                    "supported. Enter their number and title directly in the table; these pages are "
                    "skipped when reading regions. Manual names are kept.\n\nAlways inspect the number and "
                    "title regions on each page. Covers and other layouts can differ even within the same "
                    "geometry group. This check does not verify naming accuracy.")
                .arg(pages)
                .arg(list));

        // The button shows the same again and changes nothing.
        const QList<ReviewRow> rows = driver.app->rows;
        const QString status = driver.app->status->text();
        QTest::mouseClick(driver.app->checkButton, Qt::LeftButton);
        QCOMPARE(driver.toolkit->alerts.size(), 2);
        QCOMPARE(driver.toolkit->alerts[1].message, alert.message);
        QCOMPARE(driver.toolkit->alerts[1].informative, alert.informative);
        QCOMPARE(driver.app->rows, rows);
        QCOMPARE(driver.app->status->text(), status);
    }

    void everyPageHasText()
    {
        AppDriver driver;
        // Nothing opened: nothing shown.
        driver.app->documentCheck();
        QCOMPARE(driver.toolkit->count("alert"), 0);
        QVERIFY(driver.open(build(5, {})));
        QCOMPARE(driver.toolkit->count("alert"), 0);
        QTest::mouseClick(driver.app->checkButton, Qt::LeftButton);
        QCOMPARE(driver.toolkit->alerts.size(), 1);
        QCOMPARE(driver.toolkit->alerts[0].message, QString("Text check complete"));
        QCOMPARE(
            driver.toolkit->alerts[0].informative,
            QString("Checked 5 source pages. Every page contains some extractable text. This does not "
                    "guarantee that the title block itself is readable.\n\nAlways inspect the number and "
                    "title regions on each page. Covers and other layouts can differ even within the same "
                    "geometry group. This check does not verify naming accuracy."));
    }
};

QTEST_MAIN(DocumentCheckTest)
#include "tst_documentcheck.moc"
