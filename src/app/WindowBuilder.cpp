#include "App.h"

#include "AppIcon.h"
#include "ButtonAction.h"
#include "MainWindow.h"
#include "MonoProgress.h"
#include "ReviewColumnSizer.h"
#include "SegmentedControl.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStandardItemModel>
#include <QStyle>
#include <QStyleFactory>
#include <QTableView>
#include <QToolButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QFont sizedFont(const QFont& base, int pixels, QFont::Weight weight = QFont::Normal)
{
    QFont font = base;
    font.setPixelSize(pixels);
    font.setWeight(weight);
    return font;
}

// Caps a wrapping label at `lines` lines of its own font.
void limitLines(QLabel* label, int lines)
{
    label->setWordWrap(true);
    const QMargins margins = label->contentsMargins();
    label->setMaximumHeight(QFontMetrics(label->font()).lineSpacing() * lines + margins.top() + margins.bottom());
}

QHBoxLayout* row(int spacing, std::initializer_list<QWidget*> widgets)
{
    auto* layout = new QHBoxLayout;
    if (spacing >= 0)
        layout->setSpacing(spacing);
    for (QWidget* widget : widgets)
        layout->addWidget(widget);
    layout->addStretch(1);
    return layout;
}

} // namespace

QList<TableColumn> App::tableColumns()
{
    return {{QStringLiteral("page"), QStringLiteral("Page"), 42},
            {QStringLiteral("number"), QStringLiteral("Number"), 90},
            {QStringLiteral("title"), QStringLiteral("Title"), 175},
            {QStringLiteral("state"), QStringLiteral("Review"), 130}};
}

void App::installTableModel(QAbstractItemModel* model)
{
    table->setModel(model);
    ReviewColumnSizer::fit(table);
}

void App::applyLook()
{
    // Always the light look, whatever the desktop's theme: Fusion with its
    // own light palette, and black selections.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    // Every role set explicitly, so that nothing of a desktop palette set
    // earlier shows through.
    const QPalette light = QApplication::style()->standardPalette();
    QPalette palette;
    for (int group = 0; group < QPalette::NColorGroups; ++group) {
        for (int role = 0; role < QPalette::NColorRoles; ++role) {
            const auto g = QPalette::ColorGroup(group);
            const auto r = QPalette::ColorRole(role);
            palette.setBrush(g, r, light.brush(g, r));
        }
    }
    palette.setColor(QPalette::Highlight, Qt::black);
    palette.setColor(QPalette::HighlightedText, Qt::white);
    QApplication::setPalette(palette);
    // The window and its controls exist already; they take the palette
    // from the window, not from a palette the desktop may have set before.
    window->setPalette(palette);
}

void App::buildWindow()
{
    MainWindow* w = window.get();

    // 1. The window.
    w->setWindowTitle(QStringLiteral("Planfolio"));
    w->setWindowIcon(AppIcon::icon());
    // The application decides itself whether closing the window ends it.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    const QPointer<App> self(this);
    w->shouldClose = [self] { return !self || self->windowShouldClose(); };
    w->didClose = [self] {
        if (self && self->applicationShouldTerminateAfterLastWindowClosed())
            self->quit();
    };
    // A drop is answered once it has ended, so that an alert never holds
    // the program the file was dragged from.
    w->acceptsDrops = [self] { return self && !self->busy(); };
    w->dropped = [self](const QList<QUrl>& urls) {
        QTimer::singleShot(0, self, [self, urls] {
            if (self)
                self->openDropped(urls);
        });
    };

    // 2. The root column.
    auto* content = new QWidget(w);
    w->setCentralWidget(content);
    auto* column = new QVBoxLayout(content);
    column->setSpacing(10);
    column->setContentsMargins(18, 18, 18, 18);

    // 3. Headline and steps.
    auto* headline = new QLabel(QStringLiteral("Drawing sets, organized."), content);
    headline->setFont(sizedFont(headline->font(), 26, QFont::DemiBold));
    column->addWidget(headline);
    column->addWidget(new QLabel(
        QStringLiteral("1 Open PDF \u00B7 2 Set regions for each group \u00B7 3 Check individual pages \u00B7 4 Export"),
        content));

    // 4. Targets and actions; both segmented controls start on segment 0
    // (their selected segment is drawn in black).
    connect(openButton, &QPushButton::clicked, this, &App::openPDF);
    connect(readButton, &QPushButton::clicked, this, &App::readRegions);
    connect(exportButton, &QPushButton::clicked, this, &App::exportFiles);
    connect(inspectButton, &QPushButton::clicked, this, &App::inspectRegions);
    connect(checkButton, &QPushButton::clicked, this, &App::documentCheck);
    connect(cancelButton, &QPushButton::clicked, this, &App::cancelWork);
    connect(resetButton, &QPushButton::clicked, this, &App::resetPage);
    connect(groupPicker, &QComboBox::activated, this, &App::changeGroup);
    connect(scope, &SegmentedControl::segmentClicked, this, &App::changeScope);
    scope->setSelectedSegment(0);
    mode->setSelectedSegment(0);

    // 5. The two rows of controls.
    groupPicker->setAccessibleName(QStringLiteral("Geometry group"));
    groupPicker->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    groupPicker->setMinimumContentsLength(24);
    column->addLayout(row(10, {openButton, groupPicker, exportButton}));
    column->addLayout(row(10, {scope, mode, readButton, resetButton, inspectButton, checkButton}));

    // 6. The page notice.
    pageNotice->setFont(sizedFont(pageNotice->font(), 12, QFont::DemiBold));
    pageNotice->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    limitLines(pageNotice, 2);
    column->addWidget(pageNotice);

    // 7. Page view and review table side by side.
    auto* split = new QSplitter(Qt::Horizontal, content);
    split->setHandleWidth(1);
    split->setChildrenCollapsible(false);
    split->setMinimumHeight(400);
    pdf->setMinimumWidth(480);
    pdf->setAccessibleName(QStringLiteral("Page view"));
    pdf->selected = [self](const QRectF& rect, int page) {
        if (self)
            self->selectRegion(rect, page);
    };
    // Dragging an outline's edge or inside it changes that region through the
    // same assignment as a new drag.
    pdf->adjusted = [self](const PageOutline& outline, const QRectF& rect) {
        if (self)
            self->adjustRegion(outline.dashed, rect, outline.page);
    };
    pdf->readout = [self](const QRectF& rect, int page) -> std::optional<RegionView::Readout> {
        if (!self || !self->document)
            return std::nullopt;
        const std::optional<PdfPage> shown = self->document->page(page);
        if (!shown)
            return std::nullopt;
        return self->liveReadout.read(self->textLayers, page, rect, shown->cropBox());
    };
    // Once the user has zoomed or scrolled and the view has settled, the
    // next rows' pages are made ahead at the new place, where they will open.
    auto* aheadTimer = new QTimer(this);
    aheadTimer->setSingleShot(true);
    aheadTimer->setInterval(300);
    connect(aheadTimer, &QTimer::timeout, this, [self] {
        if (self && self->pdf->placedByUser())
            self->renderAheadFrom(self->activePage);
    });
    connect(pdf, &RegionView::renderRequested, aheadTimer, qOverload<>(&QTimer::start));
    // The zoom commands as buttons above the page view (their keys are in
    // the View menu and the buttons' tooltips).
    auto* pagePane = new QWidget(split);
    auto* pageColumn = new QVBoxLayout(pagePane);
    pageColumn->setContentsMargins(0, 0, 0, 0);
    pageColumn->setSpacing(4);
    auto* zoomRow = new QHBoxLayout;
    zoomRow->setSpacing(6);
    for (QAction* action : pdf->zoomActions()) {
        auto* button = new QToolButton(pagePane);
        button->setDefaultAction(action);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        button->setFocusPolicy(Qt::TabFocus);
        zoomRow->addWidget(button);
    }
    zoomRow->addStretch(1);
    pageColumn->addLayout(zoomRow);
    pageColumn->addWidget(pdf, 1);
    split->addWidget(pagePane);

    auto* standIn = new QStandardItemModel(0, int(tableColumns().size()), table);
    for (int i = 0; i < tableColumns().size(); ++i)
        standIn->setHeaderData(i, Qt::Horizontal, tableColumns()[i].header);
    installTableModel(standIn);
    table->setMinimumWidth(465);
    table->setAccessibleName(QStringLiteral("Review table"));
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    table->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    table->verticalHeader()->hide();
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(30);
    table->horizontalHeader()->setStretchLastSection(false);
    table->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setShowGrid(false);
    // No selection highlight: a selected row looks like any other, also
    // while the table is disabled during a task.
    QPalette tablePalette = table->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        tablePalette.setColor(group, QPalette::Highlight, tablePalette.color(group, QPalette::Base));
        tablePalette.setColor(group, QPalette::HighlightedText, tablePalette.color(group, QPalette::Text));
    }
    table->setPalette(tablePalette);
    // Titles get the width the table has spare.
    new ReviewColumnSizer(table);
    split->addWidget(table);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    column->addWidget(split, 1);

    // 8. Status, progress, confirmation, fine print.
    status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    limitLines(status, 3);
    column->addWidget(status);

    progress->setRange(0, 100);
    progress->setOrientation(Qt::Horizontal);
    progress->setFixedWidth(380);
    progress->setAccessibleName(QStringLiteral("Task progress"));
    column->addLayout(row(-1, {progress, cancelButton}));

    column->addWidget(reviewed);

    auto* privacyLabel =
        new QLabel(QStringLiteral("Your drawings stay on this computer. No document uploads or cloud processing."),
                   content);
    privacyLabel->setFont(sizedFont(privacyLabel->font(), 11));
    // "&&" shows one ampersand; a single one would mark a mnemonic.
    auto* privacyButton = new QPushButton(QStringLiteral("Privacy && data"), content);
    privacyButton->setObjectName(QStringLiteral("privacyButton"));
    connect(privacyButton, &QPushButton::clicked, this, &App::showPrivacy);
    column->addLayout(row(-1, {privacyLabel, privacyButton}));

    auto* notice = new QLabel(QStringLiteral("Text PDFs \u00B7 up to 100 MB / 500 pages \u00B7 no OCR \u00B7 inspect all "
                                             "names; matching page size does not guarantee matching title-block "
                                             "position."),
                              content);
    notice->setFont(sizedFont(notice->font(), 11));
    limitLines(notice, 2);
    column->addWidget(notice);

    // Size last, once the layout knows its content; then centre.
    w->setMinimumSize(1180, 780);
    w->resize(1180, 820);
    // At first the table is just wide enough for all its columns; the page
    // view takes the rest. (The splitter keeps this ratio until it is laid
    // out at the window's width.)
    const int tableWidth = std::max(table->minimumWidth(), ReviewColumnSizer::naturalWidth(table));
    const int splitWidth = 1180 - column->contentsMargins().left() - column->contentsMargins().right();
    split->setSizes({splitWidth - split->handleWidth() - tableWidth, tableWidth});
    if (QScreen* screen = w->screen()) {
        const QRect area = screen->availableGeometry();
        w->move(area.center() - QPoint(w->width() / 2, w->height() / 2));
    }
}

void App::buildMenu()
{
    QMenuBar* bar = window->menuBar();

    QMenu* application = bar->addMenu(QStringLiteral("Planfolio"));
    QAction* about = application->addAction(QStringLiteral("About Planfolio"));
    about->setMenuRole(QAction::AboutRole);
    connect(about, &QAction::triggered, this, &App::showAbout);
    application->addSeparator();
    QAction* quitAction = application->addAction(QStringLiteral("Quit Planfolio"));
    // The desktop's own quit key; Ctrl+Q where the platform names none.
    const QKeySequence quitKey(QKeySequence::Quit);
    quitAction->setShortcut(quitKey.isEmpty() ? QKeySequence(Qt::CTRL | Qt::Key_Q) : quitKey);
    quitAction->setMenuRole(QAction::QuitRole);
    // Quit and the Edit commands work from every window of the
    // application, the region review panel too, not only the main window.
    quitAction->setShortcutContext(Qt::ApplicationShortcut);
    connect(quitAction, &QAction::triggered, this, &App::quit);

    // The document's steps, each standing for its button, with the keys a
    // desktop user tries first.
    QMenu* steps = bar->addMenu(QStringLiteral("Document"));
    ButtonAction::add(steps, openButton, QKeySequence(QKeySequence::Open));
    ButtonAction::add(steps, readButton, QKeySequence(Qt::CTRL | Qt::Key_R));
    readAllAction = steps->addAction(QStringLiteral("Read all groups"));
    readAllAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R));
    connect(readAllAction, &QAction::triggered, this, &App::readAllGroups);
    ButtonAction::add(steps, exportButton, QKeySequence(Qt::CTRL | Qt::Key_E));
    fillBookmarksAction = steps->addAction(QStringLiteral("Fill names from bookmarks"));
    connect(fillBookmarksAction, &QAction::triggered, this, &App::fillFromBookmarks);

    // Each item acts on whatever widget has the keyboard focus.
    QMenu* edit = bar->addMenu(QStringLiteral("Edit"));
    const struct
    {
        const char* title;
        QKeySequence::StandardKey key;
        const char* method;
    } items[] = {{"Copy", QKeySequence::Copy, "copy"},
                 {"Paste", QKeySequence::Paste, "paste"},
                 {"Cut", QKeySequence::Cut, "cut"},
                 {"Select All", QKeySequence::SelectAll, "selectAll"}};
    for (const auto& item : items) {
        QAction* action = edit->addAction(QString::fromLatin1(item.title));
        action->setShortcut(item.key);
        action->setShortcutContext(Qt::ApplicationShortcut);
        const char* method = item.method;
        connect(action, &QAction::triggered, this, [this, method] { editCommand(method); });
    }

    // The page view's zoom commands, with their keys.
    QMenu* view = bar->addMenu(QStringLiteral("View"));
    view->addActions(pdf->zoomActions());

    buildRegionsMenu();
}

void App::editCommand(const char* method)
{
    QWidget* focus = QApplication::focusWidget();
    if (!focus)
        return;
    // Only widgets that have the command (text fields, text views) get it.
    const QByteArray signature = QByteArray(method) + "()";
    if (focus->metaObject()->indexOfMethod(signature.constData()) >= 0)
        QMetaObject::invokeMethod(focus, method);
}
