#include "RegionReviewPanel.h"

#include "BookmarkNames.h"
#include "PageRenderer.h"
#include "RegionCropView.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QScreen>
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

RegionReviewPanel::RegionReviewPanel(const Content& content, QWidget* parent)
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

    m_renderer = new PageRenderer(this);
    m_renderer->setSource(content.source);

    auto* stack = new QVBoxLayout(this);
    stack->setSpacing(12);
    stack->setContentsMargins(20, 20, 20, 20);
    stack->addWidget(wrapping(introduction(), this));

    auto* regionRow = new QHBoxLayout;
    regionRow->setSpacing(18);
    regionRow->addWidget(
        column(QStringLiteral("Number"), content.regions.number, content.numberValue, 0, m_numberCrop), 1);
    regionRow->addWidget(
        column(QStringLiteral("Title"), content.regions.title, content.titleValue, 1, m_titleCrop), 1);
    stack->addLayout(regionRow, 1);
    const QString bookmark = bookmarkLine(content.bookmark, content.numberValue, content.titleValue);
    if (!bookmark.isEmpty())
        stack->addWidget(wrapping(bookmark, this));
    if (content.outlinedText)
        stack->addWidget(wrapping(outlinedText(), this));
    stack->addWidget(wrapping(footer(content.noText), this));
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
                                   const QString& value, int channel, QPointer<RegionCropView>& crop)
{
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
    } else {
        layout->addWidget(wrapping(noRegionText(), box));
        layout->addStretch(1);
    }

    layout->addWidget(wrapping(QStringLiteral("Table value: ") +
                                   (value.isEmpty() ? QStringLiteral("Not read / not entered") : value),
                               box));
    return box;
}

void RegionReviewPanel::present()
{
    if (QScreen* screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    show();
    raise();
    activateWindow();
}
