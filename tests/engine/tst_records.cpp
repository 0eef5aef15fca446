// The shared records, the cancellation token and the error convention.

#include "Workflow.h"

#include <QtTest>

class RecordsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void pageRegionsComplete_data();
    void pageRegionsComplete();
    void freshTokenChecksQuietly();
    void cancelledTokenFailsEveryLaterCheck();
    void failureIsPlanfolioCodeOne();
    void rowStartsEmptyWithOneBasedIntegerPage();
};

void RecordsTest::pageRegionsComplete_data()
{
    QTest::addColumn<PageRegions>("regions");
    QTest::addColumn<bool>("complete");

    const Region tiny(10, 10, 0.1, 0.1);
    QTest::newRow("empty") << PageRegions() << false;
    QTest::newRow("number only") << PageRegions(Region(0, 0, 50, 20), std::nullopt) << false;
    QTest::newRow("title only") << PageRegions(std::nullopt, Region(0, 0, 50, 20)) << false;
    QTest::newRow("both") << PageRegions(Region(0, 0, 50, 20), Region(0, 30, 50, 20)) << true;
    // Size and overlap are judged by reading, never here.
    QTest::newRow("tiny and overlapping") << PageRegions(tiny, tiny) << true;
}

void RecordsTest::pageRegionsComplete()
{
    QFETCH(PageRegions, regions);
    QFETCH(bool, complete);
    QCOMPARE(regions.complete(), complete);
}

void RecordsTest::freshTokenChecksQuietly()
{
    WorkCancellation token;
    QVERIFY(!token.isCancelled());
    token.check();
    token.check();
    QVERIFY(!token.isCancelled());
}

void RecordsTest::cancelledTokenFailsEveryLaterCheck()
{
    WorkCancellation token;
    token.cancel();
    token.cancel(); // a second cancel is harmless
    QVERIFY(token.isCancelled());
    for (int i = 0; i < 3; ++i)
        QVERIFY_THROWS_EXCEPTION(CancellationError, token.check());
    QVERIFY(token.isCancelled());

    // A cancellation is not a failure with a message: workflows must be able
    // to tell the two apart by type.
    bool caughtAsTaskError = false;
    try {
        token.check();
    } catch (const TaskError&) {
        caughtAsTaskError = true;
    } catch (const CancellationError&) {
    }
    QVERIFY(!caughtAsTaskError);
}

void RecordsTest::failureIsPlanfolioCodeOne()
{
    const QString message = QStringLiteral("Page 5 is unreadable. \u00B7 \u2014 ‘x’");
    const PlanfolioError error = DrawingWorkflow::failure(message);
    QCOMPARE(error.domain(), QStringLiteral("Planfolio"));
    QCOMPARE(error.code(), 1);
    QCOMPARE(error.message(), message);
    QCOMPARE(QString::fromUtf8(error.what()), message);
}

void RecordsTest::rowStartsEmptyWithOneBasedIntegerPage()
{
    const ReviewRow row = makeRow(3, ReviewState::needsRegions);
    QCOMPARE(row.size(), 4);
    QCOMPARE(row.value(QStringLiteral("page")).typeId(), int(QMetaType::Int));
    QCOMPARE(row.value(QStringLiteral("page")).toInt(), 4);
    QCOMPARE(row.value(QStringLiteral("number")).typeId(), int(QMetaType::QString));
    QCOMPARE(row.value(QStringLiteral("number")).toString(), QString());
    QCOMPARE(row.value(QStringLiteral("title")).toString(), QString());
    QCOMPARE(row.value(QStringLiteral("state")).toString(), QStringLiteral("Needs regions"));
    QCOMPARE(ReviewState::noText, QStringLiteral("No text \u00B7 enter names"));
}

QTEST_GUILESS_MAIN(RecordsTest)
#include "tst_records.moc"
