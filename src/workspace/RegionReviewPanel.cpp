#include "RegionReviewPanel.h"

#include "BookmarkNames.h"
#include "PageRenderer.h"
#include "RegionCropView.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>

namespace {
QLabel* wrapping(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}
} // namespace

RegionReviewPanel::RegionReviewPanel(const Content& content, PageRenderer* renderer, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::WindowMaximizeButtonHint),
      m_content(content)
{
    setObjectName(QStringLiteral("regionReviewPanel"));
    setWindowTitle(QStringLiteral("Page ") + QString::number(content.page + 1) +
                   QStringLiteral(" \u2014 Region review"));
    // Always light, on white, whatever the desktop's theme.
    QPalette light = palette();
    light.setColor(QPalette::Window, Qt::white);
    light.setColor(QPalette::Base, Qt::white);
    light.setColor(QPalette::WindowText, Qt::black);
    light.setColor(QPalette::Text, Qt::black);
    setPalette(light);
    setAutoFillBackground(true);
    resize(900, 590);
    setMinimumSize(760, 500);

    m_renderer = renderer;

    auto* stack = new QVBoxLayout(this);
    stack->setSpacing(12);
    stack->setContentsMargins(20, 20, 20, 20);
    stack->addWidget(wrapping(introduction(), this));

    auto* regionRow = new QHBoxLayout;
    regionRow->setSpacing(18);
    regionRow->addWidget(
        column(QStringLiteral("Number"), content.regions.number, content.numberValue, numberChannel, m_numberCrop,
               m_numberHighlights),
        1);
    regionRow->addWidget(
        column(QStringLiteral("Title"), content.regions.title, content.titleValue, titleChannel, m_titleCrop,
               m_titleHighlights),
        1);
    stack->addLayout(regionRow, 1);
    const QString bookmark = bookmarkLine(content.bookmark, content.numberValue, content.titleValue);
    if (!bookmark.isEmpty())
        stack->addWidget(wrapping(bookmark, this));
    if (content.outlinedText)
        stack->addWidget(wrapping(outlinedText(), this));
    stack->addWidget(wrapping(footer(content.noText), this));

    // A long review steps from row to row with the panel open, and closes
    // it from the keyboard.
    auto* buttons = new QHBoxLayout;
    m_previous = new QPushButton(QStringLiteral("Previous page"), this);
    m_previous->setToolTip(QStringLiteral("Previous row's page (Page Up)"));
    m_next = new QPushButton(QStringLiteral("Next page"), this);
    m_next->setToolTip(QStringLiteral("Next row's page (Page Down)"));
    m_close = new QPushButton(QStringLiteral("Close"), this);
    m_close->setToolTip(QStringLiteral("Close (Esc)"));
    buttons->addWidget(m_previous);
    buttons->addWidget(m_next);
    buttons->addStretch(1);
    buttons->addWidget(m_close);
    stack->addLayout(buttons);
    connect(m_previous, &QPushButton::clicked, this, [this] { Q_EMIT stepRequested(-1); });
    connect(m_next, &QPushButton::clicked, this, [this] { Q_EMIT stepRequested(1); });
    connect(m_close, &QPushButton::clicked, this, &QWidget::close);

    const auto shortcut = [this](const QKeySequence& key, auto slot) {
        auto* item = new QShortcut(key, this);
        item->setContext(Qt::WindowShortcut);
        connect(item, &QShortcut::activated, this, slot);
    };
    shortcut(QKeySequence(Qt::Key_Escape), [this] { close(); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_W), [this] { close(); });
    shortcut(QKeySequence(Qt::Key_PageDown), [this] { Q_EMIT stepRequested(1); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_Down), [this] { Q_EMIT stepRequested(1); });
    shortcut(QKeySequence(Qt::Key_PageUp), [this] { Q_EMIT stepRequested(-1); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_Up), [this] { Q_EMIT stepRequested(-1); });
}

QString RegionReviewPanel::bookmarkLine(const QString& bookmark, const QString& number, const QString& title)
{
    if (bookmark.isEmpty())
        return QString();
    const std::optional<BookmarkName> name = BookmarkNames::parse(bookmark);
    const bool agrees = name && BookmarkNames::agrees(*name, number, title);
    return QStringLiteral("Bookmark: ") + bookmark +
           (agrees ? QStringLiteral(" (agrees with the table)")
                   : QStringLiteral(" (differs from the table)"));
}

QString RegionReviewPanel::outlinedText()
{
    return QStringLiteral(
        "This page shows drawn text in its regions but the PDF carries no text there; enter its "
        "name in the table.");
}

RegionReviewPanel::~RegionReviewPanel() = default;

QString RegionReviewPanel::introduction()
{
    return QStringLiteral(
        "Magnified source regions for this page. Compare the visible drawing number and title "
        "with the table values below. Addresses and other text can be extracted without a "
        "warning. Close this window and use \u2018This page only\u2019 to correct a different "
        "layout.");
}

QString RegionReviewPanel::noRegionText()
{
    return QStringLiteral("No region selected. Close this window and select this region on the source PDF.");
}

QString RegionReviewPanel::footer(bool noText)
{
    return noText ? QStringLiteral(
                        "No extractable text on this page. Read the image and enter names manually in "
                        "the table.")
                  : QStringLiteral("Text availability is not a correctness check. Review every page before "
                                   "export.");
}

QWidget* RegionReviewPanel::column(const QString& heading, const std::optional<Region>& region,
                                   const QString& value, int channel, QPointer<RegionCropView>& crop,
                                   QPointer<ReasonHighlights>& highlights)
{
    // This column's reasons: the reading names its region.
    const QString regionName = heading + QStringLiteral(" region");
    QList<QRectF> boxes;
    QStringList sentences;
    for (const EdgeReason& reason : std::as_const(m_content.reasons)) {
        if (reason.region != regionName)
            continue;
        boxes.append(reason.box);
        sentences.append(reason.sentence());
    }

    auto* box = new QWidget(this);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);

    auto* title = new QLabel(heading, box);
    QFont bold = title->font();
    bold.setPixelSize(16);
    bold.setBold(true);
    title->setFont(bold);
    layout->addWidget(title);

    if (region) {
        crop = new RegionCropView(m_renderer, channel, m_content.page, *region, m_content.cropBox,
                                  m_content.displayTransform, box);
        crop->setMinimumHeight(260);
        layout->addWidget(crop, 1);
        if (!boxes.isEmpty())
            highlights = new ReasonHighlights(crop, boxes, m_content.displayTransform);
    } else {
        layout->addWidget(wrapping(noRegionText(), box));
        layout->addStretch(1);
    }

    layout->addWidget(wrapping(QStringLiteral("Table value: ") +
                                   (value.isEmpty() ? QStringLiteral("Not read / not entered") : value),
                               box));
    if (!sentences.isEmpty())
        layout->addWidget(wrapping(sentences.join(QLatin1Char('\n')), box));
    return box;
}

void RegionReviewPanel::present(const std::optional<QRect>& place)
{
    if (place) {
        resize(place->size().expandedTo(minimumSize()));
        move(place->topLeft());
    } else if (QScreen* screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    show();
    raise();
    activateWindow();
}
