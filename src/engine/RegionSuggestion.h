#pragma once

// Region suggestions: where the sheet number and the sheet title of a
// geometry group's pages are printed, found from the pages' text layers
// alone (no OCR, nothing leaves the machine).
//
// The sheet number is the text that sits at the same place on the group's
// pages, differs from page to page and looks like a sheet number (2 to 12
// letters, digits and separators, or up to 32 under a number caption),
// preferring text next to a label such as SHEET NO., DRAWING NO. or DWG NO.
// and larger text. The title is the block
// of text lines near it that also differs from page to page, preferring
// the one next to a label TITLE, SHEET TITLE or DRAWING TITLE, then larger
// and nearer text. A label may stand above its value, left of it, or in
// front of it on the same line ("Title: USB input", "Id: 2/11"). A group
// of one page cannot show what changes, so there only a value captioned
// as a number and one captioned as a title are suggested; where most
// pages caption their title, only captioned text is taken as the title.
// The title block is read as a person reads it (TitleBlock): a region
// stays inside the cell its text sits in, never crossing a ruled line
// around it; lines that are alike on every page (firm, client, address,
// captions) never start a title. Each region covers what was found on
// every page, with a margin that keeps other text outside its edges, and
// is checked by reading it back as the read does: a suggestion that would
// warn, or read other text, on more than a few of the pages is not
// offered.

#include "PdfDocument.h"
#include "Workflow.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QMap>
#include <QSet>
#include <QRectF>
#include <QString>
#include <QTransform>

#include <functional>
#include <optional>

namespace RegionSuggestion {

// One page of a geometry group.
struct PageInput
{
    int index = -1;              // zero-based page index, only handed back
    PageText text;               // its text layer
    QTransform displayTransform; // user space → displayed page (PdfPage::displayTransform)
    QRectF cropBox;              // user space
};

struct Suggestion
{
    Region number; // user space, points
    Region title;
    // How many of the pages looked at carry both and read them back
    // exactly from these regions, out of how many had any text.
    int pagesRead = 0;
    int pagesWithText = 0;
    // One page's reading, to show: its index and texts.
    int examplePage = -1;
    QString exampleNumber;
    QString exampleTitle;
    bool operator==(const Suggestion&) const = default;
};

// Renders the part of page `index` inside `userRect` (user space) at
// `dpi`, as PdfPage::renderRegion does; a null image when it cannot. The
// ruled lines of the title block are found in it.
using Renderer = std::function<QImage(int index, const QRectF& userRect, double dpi)>;

// The suggested regions of a group whose pages are `pages` (all of one
// layout), or nothing when no sheet number or no title is found. Without
// `render` no ruled lines are known, and regions keep to the text alone.
// Pure but for `render`; any thread; never throws.
std::optional<Suggestion> suggest(const QList<PageInput>& pages, const Renderer& render = {});

// Regions for `pages` (a group, or one page, where nothing is found by
// itself: a single sheet without captions) carried over from another
// group `model` whose suggestion is `found`: the lines alike on the model's
// pages (firm, client, captions) are looked for on `pages`, and where at
// least two of them stand at one common offset from where they stand on
// the model, the regions move by that offset (display space, so that a
// rotated or larger sheet with the same block fits too). Offered only when
// the moved regions read a number and a title on most of `pages` with no
// edge warning. Pure; any thread; never throws.
std::optional<Suggestion> suggestLike(const QList<PageInput>& pages, const QList<PageInput>& model,
                                      const Suggestion& found);

// At most this many pages of a group are looked at, spread over the group:
// enough to tell what changes from page to page, and a bounded cost.
inline constexpr int pageLimit = 40;
// Up to `limit` of `pages`, evenly spread, first and last included, in
// their order.
QList<int> spread(const QList<int>& pages, int limit = pageLimit);

// On the worker: opens a document of its own from `data`, takes the text
// layers of spread(pages) (from `kept`, the open's kept layers indexed by
// page, where a page's is there; otherwise from the page) and suggests
// from them. Checks `cancel` before
// every page and once at the end; progress (k+1, n) after each page, on the
// calling thread or a helper thread but never on two at once. Throws
// CancellationError, or PlanfolioError "The source PDF could not be read."
std::optional<Suggestion> suggestFor(const QByteArray& data, const QList<int>& pages,
                                     const WorkCancellation& cancel, const Progress& progress = {},
                                     const KeptTextLayers& kept = {});

// suggestLike() on the worker: takes the text layers of spread(pages) and
// of up to five of `modelPages` as suggestFor() does. Throws as
// suggestFor() does.
std::optional<Suggestion> suggestLikeFor(const QByteArray& data, const QList<int>& pages,
                                         const QList<int>& modelPages, const Suggestion& found,
                                         const WorkCancellation& cancel, const KeptTextLayers& kept = {});

// suggestFor(pages), or where nothing is found there (a group of one
// sheet without captions, a page whose title block sits elsewhere), the
// regions of the first of `others` (other groups' pages with text) with a
// suggestion of its own, carried over by suggestLikeFor(). Throws as
// suggestFor() does.
std::optional<Suggestion> suggestOrBorrow(const QByteArray& data, const QList<int>& pages,
                                          const QList<QList<int>>& others, const WorkCancellation& cancel,
                                          const Progress& progress = {}, const KeptTextLayers& kept = {});

// Suggestions for a whole set, keyed by group and page index.
struct SetSuggestion
{
    QMap<int, Suggestion> groups;
    // Pages that read nothing with their group's suggestion (a title block
    // elsewhere), with regions of their own.
    QMap<int, Suggestion> pages;
    // Groups where nothing was found, ascending.
    QList<int> missed;
};

// Each group's pages that are not in `noTextPages`, in group order.
QList<QList<int>> textPagesOf(const QList<DrawingGroup>& groups, const QSet<int>& noTextPages);

// Every group of `groupPages` (each group's pages with text; empty for a
// group without any) suggested by itself; a page that reads nothing with
// its group's suggestion gets one of its own, or one carried over from an
// earlier group; a group where nothing is found by itself takes one carried
// over from a group where something was. Progress (g+1, n) after each
// group. Throws as suggestFor() does.
SetSuggestion suggestSet(const QByteArray& data, const QList<QList<int>>& groupPages,
                         const WorkCancellation& cancel, const Progress& progress = {},
                         const KeptTextLayers& kept = {});

} // namespace RegionSuggestion
