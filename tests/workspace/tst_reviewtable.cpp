// The review table: its model over the application's rows (checked by
// QAbstractItemModelTester through opens, reads and edits), its columns,
// what selecting a row shows, and how a typed correction is stored: trimmed,
// once, only when it changes something, and never while a task runs.

#include "../workflows/AppDriver.h"
#include "Fixtures.h"
#include "TestPaths.h"

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QLabel>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyle>

class ReviewTableTest : public QObject
{
    Q_OBJECT

  private:
    std::unique_ptr<AppDriver> driver;
    App* app = nullptr;
    int scanned = -1;

    QAbstractItemModel* model() const { return app->table->model(); }
    QModelIndex cell(int row, const char* key) const
    {
        return model()->index(row, ReviewTableModel::column(QString::fromLatin1(key)));
    }
    bool editable(int row, const char* key) const
    {
        return model()->flags(cell(row, key)) & Qt::ItemIsEditable;
    }

  private Q_SLOTS:
    void init()
    {
        driver = std::make_unique<AppDriver>();
        app = driver->app.get();
        QVERIFY(driver->open(TestPaths::samplePath()));
        for (const auto& sheet : Fixtures::sampleSheets()) {
            if (sheet.imageOnly)
                scanned = sheet.page;
        }
    }
    void cleanup() { driver.reset(); }

    void problemsShowOnTheirRow()
    {
        const QModelIndex state = cell(scanned, "state");
        QVERIFY(driver->enter(scanned, "number", "S-1"));
        QVERIFY(driver->enter(scanned, "title", "DETAILS 1/2: SLAB"));
        // Marked where the state is read, the reason on the row's cells.
        QVERIFY(!state.data(Qt::DecorationRole).isNull());
        QCOMPARE(state.data(Qt::ToolTipRole).toString(), QString("'/' cannot be used in a file name"));
        QCOMPARE(cell(scanned, "title").data(Qt::ToolTipRole).toString(),
                 QString("DETAILS 1/2: SLAB\n'/' cannot be used in a file name"));
        QVERIFY(driver->enter(scanned, "title", "DETAILS 1-2 SLAB"));
        QVERIFY(state.data(Qt::DecorationRole).isNull());
        QCOMPARE(state.data(Qt::ToolTipRole), QVariant());

        // A clash marks both rows, and goes from both with the edit that
        // ends it.
        const int other = scanned == 0 ? 1 : 0;
        QVERIFY(driver->enter(other, "number", "s-1"));
        QVERIFY(driver->enter(other, "title", "Anything"));
        QVERIFY(!state.data(Qt::DecorationRole).isNull());
        QCOMPARE(cell(other, "state").data(Qt::ToolTipRole).toString(),
                 QString("Same number as page %1").arg(scanned + 1));
        QVERIFY(driver->enter(other, "number", "S-2"));
        QVERIFY(state.data(Qt::DecorationRole).isNull());
        QVERIFY(cell(other, "state").data(Qt::DecorationRole).isNull());
    }

    void exportRefusalShowsTheFirstOffendingRow()
    {
        const QList<Fixtures::SampleSheet> sheets = Fixtures::sampleSheets();
        for (const auto& sheet : sheets) {
            app->rows[sheet.page].insert("number", sheet.number);
            app->rows[sheet.page].insert("title", sheet.title);
        }
        app->rows[7].insert("title", "DETAILS 1/2: SLAB");
        app->rows[9].insert("title", "DETAILS 3:4");
        app->reloadTable();
        driver->clickRow(0);
        QTest::mouseClick(app->exportButton, Qt::LeftButton);
        // The refusal text stays; the row is selected, shown and in view.
        QCOMPARE(driver->toolkit->alerts.last().message,
                 QString("Remove invalid or invisible filename characters, or shorten the name. Read every "
                         "group in the table before exporting."));
        QCOMPARE(app->table->selectionModel()->selectedRows().first().row(), 7);
        QCOMPARE(app->activePage, 7);
        QVERIFY(app->table->viewport()->rect().intersects(app->table->visualRect(cell(7, "number"))));
    }

    void modelThroughItsLife()
    {
        QAbstractItemModelTester tester(model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model(), static_cast<QAbstractItemModel*>(app->reviewModel.data()));
        QCOMPARE(model()->rowCount(), 12);
        // Regions, a read, an edit and a reopen of another document.
        driver->dragRegions(Fixtures::sampleNumberRegion(0), Fixtures::sampleTitleRegion(0));
        QTest::mouseClick(app->readButton, Qt::LeftButton);
        QVERIFY(driver->waitIdle());
        QVERIFY(driver->enter(scanned, "number", "C-001"));
        Fixtures::Document three;
        for (int i = 0; i < 3; ++i) {
            Fixtures::Page page;
            page.texts = {{QString("SHEET %1").arg(i), 72, 72, 12}};
            three.pages.append(page);
        }
        QTemporaryDir dir;
        const QString path = AppDriver::writeFile(dir, "three.pdf", Fixtures::build(three).bytes);
        QVERIFY(!path.isEmpty());
        QVERIFY(driver->open(path));
        QCOMPARE(model()->rowCount(), 3);
        QCOMPARE(app->table->selectionModel()->selectedRows().first().row(), 0);
    }

    void columnsAndCells()
    {
        const QStringList headers = {"Page", "Number", "Title", "Review"};
        const QStringList identifiers = {"page", "number", "title", "state"};
        const QList<int> widths = {42, 90, 175, 130};
        QCOMPARE(model()->columnCount(), 4);
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(model()->headerData(i, Qt::Horizontal).toString(), headers[i]);
            QCOMPARE(model()->headerData(i, Qt::Horizontal, ReviewTableModel::IdentifierRole).toString(),
                     identifiers[i]);
            // Title and Review are at least as wide: Title takes the spare
            // width, Review widens where the font needs it (see
            // everyStateFitsAndTitlesTakeTheSpareWidth).
            if (i < 2)
                QCOMPARE(app->table->horizontalHeader()->sectionSize(i), widths[i]);
            else
                QVERIFY(app->table->horizontalHeader()->sectionSize(i) >= widths[i]);
        }
        QCOMPARE(app->table->verticalHeader()->defaultSectionSize(), 30);
        QCOMPARE(app->table->rowHeight(5), 30);

        QCOMPARE(model()->data(cell(9, "page")).toString(), QString("10"));
        QCOMPARE(model()->data(cell(scanned, "state")).toString(), ReviewState::noText);
        QCOMPARE(model()->data(cell(0, "state")).toString(), ReviewState::needsRegions);
        QCOMPARE(model()->data(cell(0, "number")).toString(), QString());
        QCOMPARE(model()->data(cell(0, "title"), Qt::BackgroundRole).value<QColor>(), QColor(Qt::white));
        QCOMPARE(model()->data(cell(0, "title"), Qt::ForegroundRole).value<QColor>(), QColor(Qt::black));
        QVERIFY(!editable(9, "page"));
        QVERIFY(!editable(9, "state"));
        QVERIFY(editable(9, "number"));
        QVERIFY(editable(9, "title"));
    }

    void everyStateFitsAndTitlesTakeTheSpareWidth()
    {
        QTableView* table = app->table;
        QHeaderView* header = table->horizontalHeader();
        const int review = ReviewTableModel::column("state");
        const int title = ReviewTableModel::column("title");
        // Every state text is drawn whole: the item view keeps this margin
        // on each side of a cell's text and elides what does not fit.
        const int margin = table->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, table) + 1;
        for (const QString& state :
             {ReviewState::needsRegions, ReviewState::noText, ReviewState::needsReading,
              ReviewState::readReview, ReviewState::checkEdges, ReviewState::edited}) {
            const int room = header->sectionSize(review) - 2 * margin;
            QVERIFY2(table->fontMetrics().elidedText(state, Qt::ElideRight, room) == state,
                     qPrintable(state));
        }

        // At the opening size all four columns are in view.
        QCOMPARE(app->window->size(), QSize(1180, 820));
        QVERIFY(header->sectionSize(title) >= 175);
        QCOMPARE(header->length(),
                 std::max(table->viewport()->width(), 42 + 90 + 175 + header->sectionSize(review)));
        QCOMPARE(table->horizontalScrollBar()->maximum(), 0);
        QVERIFY(app->pdf->width() >= 480);

        // A wider window gives the spare width to the titles alone.
        QList<int> before;
        for (int i = 0; i < 4; ++i)
            before.append(header->sectionSize(i));
        app->window->resize(1600, 900);
        QTRY_VERIFY(header->sectionSize(title) > before[title] + 100);
        for (int i = 0; i < 4; ++i) {
            if (i != title)
                QCOMPARE(header->sectionSize(i), before[i]);
        }
        QCOMPARE(header->length(), table->viewport()->width());
        QCOMPARE(table->horizontalScrollBar()->maximum(), 0);
        // And back.
        app->window->resize(1180, 820);
        QTRY_COMPARE(header->sectionSize(title), before[title]);
    }

    void namesShowWhollyAsTooltips()
    {
        driver->dragRegions(Fixtures::sampleNumberRegion(0), Fixtures::sampleTitleRegion(0));
        QTest::mouseClick(app->readButton, Qt::LeftButton);
        QVERIFY(driver->waitIdle());
        // "BUILDING SECTIONS A-A AND B-B" is wider than the title column.
        const int sections = 7;
        const QString title = app->rows[sections].value("title").toString();
        QCOMPARE(title, Fixtures::sampleSheets()[sections].title);
        QVERIFY(app->table->fontMetrics().horizontalAdvance(title) >
                app->table->horizontalHeader()->sectionSize(ReviewTableModel::column("title")) - 6);
        QCOMPARE(model()->data(cell(sections, "title"), Qt::ToolTipRole).toString(), title);
        QCOMPARE(model()->data(cell(sections, "number"), Qt::ToolTipRole).toString(), QString("A-301"));
        // Nothing to show for an empty name, the page or the state.
        QVERIFY(!model()->data(cell(scanned, "number"), Qt::ToolTipRole).isValid());
        QVERIFY(!model()->data(cell(sections, "page"), Qt::ToolTipRole).isValid());
        QVERIFY(!model()->data(cell(sections, "state"), Qt::ToolTipRole).isValid());
    }

    void editsAreTrimmedAndStoredOnce()
    {
        app->reviewed->setChecked(true);
        QSignalSpy changes(model(), &QAbstractItemModel::dataChanged);

        // Typed with spaces around, confirmed with Return.
        QVERIFY(driver->enter(4, "number", "  A-101 "));
        QCOMPARE(app->rows[4].value("number").toString(), QString("A-101"));
        QCOMPARE(app->rows[4].value("state").toString(), ReviewState::edited);
        QVERIFY(!app->reviewed->isChecked());
        QCOMPARE(changes.size(), 1);
        QCOMPARE(changes[0][0].toModelIndex(), cell(4, "state"));

        // Leaving the cell commits the same text again: nothing happens.
        app->reviewed->setChecked(true);
        QVERIFY(model()->setData(cell(4, "number"), "A-101 "));
        app->commitPendingEdit();
        QCOMPARE(changes.size(), 1);
        QVERIFY(app->reviewed->isChecked());

        // One edit, both commit paths: typed, then committed by the task
        // runner's commit and by the editor losing focus as it closes.
        const QPointer<QLineEdit> editor = driver->typeInto(6, "title", "ELEVATIONS");
        QVERIFY(editor);
        app->commitPendingEdit();
        QCOMPARE(app->rows[6].value("title").toString(), QString("ELEVATIONS"));
        QCOMPARE(changes.size(), 2);
        QTRY_VERIFY(!editor || !editor->isVisible());
        QCOMPARE(changes.size(), 2);

        // Emptying a number is an edit too.
        QVERIFY(driver->enter(4, "number", ""));
        QCOMPARE(app->rows[4].value("number").toString(), QString());
        QCOMPARE(app->rows[4].value("state").toString(), ReviewState::edited);

        // Inner spaces stay; the page column cannot be written.
        QVERIFY(model()->setData(cell(5, "title"), "\tWALL  TYPES\n"));
        QCOMPARE(app->rows[5].value("title").toString(), QString("WALL  TYPES"));
        QVERIFY(!model()->setData(cell(5, "page"), "99"));
        QCOMPARE(app->rows[5].value("page").toInt(), 6);
    }

    void unchangedValueKeepsPanelAndConfirmation()
    {
        app->rows[3].insert("title", "GROUND FLOOR PLAN");
        app->rows[3].insert("state", ReviewState::readReview);
        app->showPage(3);
        app->reviewed->setChecked(true);
        QTest::mouseClick(app->inspectButton, Qt::LeftButton);
        QVERIFY(app->reviewPanel);
        QVERIFY(model()->setData(cell(3, "title"), " GROUND FLOOR PLAN "));
        QVERIFY(app->reviewPanel);
        QVERIFY(app->reviewed->isChecked());
        QCOMPARE(app->rows[3].value("state").toString(), ReviewState::readReview);

        // A changed value closes the panel.
        QVERIFY(model()->setData(cell(3, "title"), "GROUND FLOOR"));
        QVERIFY(!app->reviewPanel);
    }

    void noEditsWhileATaskRuns()
    {
        driver->dragRegions(Fixtures::sampleNumberRegion(0), Fixtures::sampleTitleRegion(0));
        const QList<ReviewRow> before = app->rows;
        WorkerGate gate(*app, "Reading", 1);
        QTest::mouseClick(app->readButton, Qt::LeftButton);
        QVERIFY(gate.reached());
        QVERIFY(app->busy());
        QVERIFY(!app->table->isEnabled());
        QVERIFY(!editable(scanned, "number"));
        QVERIFY(!editable(0, "title"));
        QVERIFY(!model()->setData(cell(scanned, "number"), "X"));
        app->edited(scanned, "number", "X");
        QCOMPARE(app->rows, before);
        // The selection may move, but no page is shown.
        app->table->selectRow(5);
        QCOMPARE(app->activePage, 0);
        gate.release();
        QVERIFY(driver->waitIdle());
        QVERIFY(editable(scanned, "number"));
    }

    void selectedRowLooksLikeTheOthersWhetherEnabledOrNot()
    {
        driver->clickRow(4);
        // The title cell of the selected row is empty: it shows the row's
        // background only, which must be the table's white in every state.
        const auto darkest = [this] {
            const QRect titleCell = app->table->visualRect(cell(4, "title"));
            const QImage image = app->table->viewport()->grab().toImage();
            int gray = 255;
            for (int y = titleCell.top() + 2; y < titleCell.bottom() - 2; ++y) {
                for (int x = titleCell.left() + 2; x < titleCell.right() - 2; ++x)
                    gray = std::min(gray, qGray(image.pixel(x, y)));
            }
            return gray;
        };
        QVERIFY(darkest() > 200);
        const auto token = app->begin("Testing\u2026");
        QVERIFY(!app->table->isEnabled());
        QCOMPARE(app->table->selectionModel()->selectedRows().first().row(), 4);
        QVERIFY(darkest() > 200);
        app->finish("done");
    }

    void selectingARowShowsItsPage()
    {
        driver->clickRow(3);
        QCOMPARE(app->activePage, 3);
        QCOMPARE(app->pdf->currentPage(), 3);
        QCOMPARE(app->status->text(), QString("Page 4. Group regions. Solid: number; dashed: title."));
        driver->clickRow(0);
        QCOMPARE(app->activePage, 0);
        QCOMPARE(app->status->text(), QString("Page 1. Group regions. Solid: number; dashed: title."));

        // With regions of its own.
        driver->clickRow(7);
        AppDriver::clickSegment(app->scope, 1);
        app->pdf->selected(QRectF(10, 10, 50, 50), 7);
        driver->clickRow(6);
        driver->clickRow(7);
        QCOMPARE(app->status->text(),
                 QString("Page 8. Page-specific regions. Solid: number; dashed: title."));

        // The selection never goes empty.
        driver->clickRow(7, Qt::ControlModifier);
        QCOMPARE(app->table->selectionModel()->selectedRows().size(), 1);
        QCOMPARE(app->table->selectionModel()->selectedRows().first().row(), 7);
        app->table->clearSelection();
        QCOMPARE(app->table->selectionModel()->selectedRows().size(), 1);
        // The keyboard moves it.
        QTest::keyClick(app->table, Qt::Key_Down);
        QCOMPARE(app->activePage, 8);
    }

    void taskCommitsAHalfTypedEdit()
    {
        // begin() itself, with an editor still open.
        QVERIFY(driver->typeInto(scanned, "number", "C-001"));
        const auto token = app->begin("Testing\u2026");
        QCOMPARE(app->rows[scanned].value("number").toString(), QString("C-001"));
        QCOMPARE(app->rows[scanned].value("state").toString(), ReviewState::edited);
        app->finish("done");

        // And through a read, which does not read the page without text.
        driver->dragRegions(Fixtures::sampleNumberRegion(0), Fixtures::sampleTitleRegion(0));
        QVERIFY(driver->typeInto(scanned, "title", "EXISTING SITE SURVEY"));
        QTest::mouseClick(app->readButton, Qt::LeftButton);
        QVERIFY(driver->waitIdle());
        QCOMPARE(app->rows[scanned].value("title").toString(), QString("EXISTING SITE SURVEY"));
        QCOMPARE(app->rows[scanned].value("number").toString(), QString("C-001"));
    }

    void editorOpenWhenTheApplicationCloses()
    {
        // The window's teardown commits the open editor after App's state
        // has ended; that commit must go nowhere.
        QLineEdit* editor = driver->typeInto(2, "title", "HALF");
        QVERIFY(editor);
        QTest::keyClick(editor, Qt::Key_Return);
        QVERIFY(driver->typeInto(3, "number", "X"));
        driver.reset();
    }
};

QTEST_MAIN(ReviewTableTest)
#include "tst_reviewtable.moc"
