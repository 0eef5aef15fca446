#pragma once

// The region review panel: for the page shown, each of its two regions
// magnified in a view of its own with the review table's value beneath,
// between an introduction and a footer. It changes no data.
//
// The panel is built from a snapshot taken when it opens and is never
// refreshed; the application closes and releases it whenever the page is
// shown again or a value changes. Its close button only hides it.
//
// Crops come from the page view's PageRenderer, on channels of their own
// (numberChannel, titleChannel): its render thread and document, so the
// main thread takes no part, and crops rendered ahead for the next rows
// are there when the panel opens on them. The panel appears at once; the
// crops fill in when they arrive.
//
// Main thread only.

#include "ReasonHighlights.h"
#include "RegionCropView.h"
#include "Workflow.h"

#include <QByteArray>
#include <QPointer>
#include <QPushButton>
#include <QRectF>
#include <QString>
#include <QTransform>
#include <QWidget>

#include <optional>

class PageRenderer;


class RegionReviewPanel : public QWidget
{
    Q_OBJECT
  public:
    // What the panel shows, taken when it opens.
    struct Content
    {
        int page = 0;                // zero-based page index
        QRectF cropBox;              // the page's crop box, user space
        QTransform displayTransform; // user space → displayed page (rotation applied)
        PageRegions regions;         // the page's effective regions
        QString numberValue;         // the row's "number" ("" when absent)
        QString titleValue;          // the row's "title"
        bool noText = false;         // the page has no extractable text
        QString bookmark;            // the page's bookmark name, "" when none
        bool outlinedText = false;   // the last read found drawn text, no text
        QList<EdgeReason> reasons;   // why the page's reading warns, if it did
    };

    // The renderer's channels of the two crops (the page view uses 0).
    static constexpr int numberChannel = 1;
    static constexpr int titleChannel = 2;

    // A top-level panel over `parent`, which owns it, with crops from
    // `renderer`, which outlives it. Not shown until present().
    RegionReviewPanel(const Content& content, PageRenderer* renderer, QWidget* parent);
    ~RegionReviewPanel() override;

    // Puts the panel at `place` (a frame geometry the user gave an earlier
    // panel), or else centres it on the screen; shows it, brings it to the
    // front and gives it the keyboard focus. Not modal.
    void present(const std::optional<QRect>& place = std::nullopt);

    // The "Close" button; it, Escape and Ctrl+W hide the panel as its
    // title bar's close button does.
    QPushButton* closeButton() const { return m_close; }
    QPushButton* previousButton() const { return m_previous; }
    QPushButton* nextButton() const { return m_next; }

  Q_SIGNALS:
    // The user asked for the next (+1) or previous (-1) row's page, by
    // Page Down / Page Up, Ctrl+Down / Ctrl+Up or the panel's buttons.
    void stepRequested(int delta);

  public:
    // The crop views of the number and title regions; null where the page
    // has no such region.
    RegionCropView* numberCrop() const { return m_numberCrop; }
    RegionCropView* titleCrop() const { return m_titleCrop; }
    PageRenderer* renderer() const { return m_renderer; }
    // The marks of the reasons over each crop; null where there are none.
    ReasonHighlights* numberHighlights() const { return m_numberHighlights; }
    ReasonHighlights* titleHighlights() const { return m_titleHighlights; }

    static QString introduction();
    static QString noRegionText();
    static QString footer(bool noText);
    // The line that sets the page's bookmark name beside the table's
    // values; "" when the page has no bookmark name.
    static QString bookmarkLine(const QString& bookmark, const QString& number, const QString& title);
    static QString outlinedText();

  private:
    QWidget* column(const QString& heading, const std::optional<Region>& region, const QString& value,
                    int channel, QPointer<RegionCropView>& crop, QPointer<ReasonHighlights>& highlights);

    Content m_content;
    QPointer<PageRenderer> m_renderer;
    QPointer<RegionCropView> m_numberCrop;
    QPointer<RegionCropView> m_titleCrop;
    QPointer<ReasonHighlights> m_numberHighlights;
    QPointer<ReasonHighlights> m_titleHighlights;
    QPointer<QPushButton> m_close;
    QPointer<QPushButton> m_previous;
    QPointer<QPushButton> m_next;
};
