#pragma once

// The drawing-set records every part of the system passes around, the
// cancellation token shared by the main thread and the worker, the error
// types of the engine, and the DrawingWorkflow operations (grouping, region
// reading, the text availability scan).

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QRectF>
#include <QSet>
#include <QString>
#include <QVariantMap>

#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <system_error>

class PdfDocument;

// A region rectangle: PDF points in the page's own unrotated user space
// (the space of /MediaBox, y up). Always kept normalised (width, height >= 0).
using Region = QRectF;

// The two regions that govern one page or one geometry group.
struct PageRegions
{
    std::optional<Region> number;
    std::optional<Region> title;

    PageRegions() = default;
    PageRegions(std::optional<Region> number, std::optional<Region> title)
        : number(std::move(number)), title(std::move(title))
    {
    }
    // Both regions present; size, position and overlap are judged by reading.
    bool complete() const { return number.has_value() && title.has_value(); }
    bool operator==(const PageRegions&) const = default;
};

// One geometry group: zero-based page indices (ascending, never empty) and
// its display text, for example "Group 1 · 12 pages · 2384×1684 pt · 0°".
struct DrawingGroup
{
    QList<int> pages;
    QString description;
    bool operator==(const DrawingGroup&) const = default;
};

// Why one region's reading warns, so that the review can say it: a border
// that cuts drawn text, other text whose ink lies within the edge margin
// outside a border, or a region that caught no text at all.
struct EdgeReason
{
    enum class Kind { Cut, Nearby, Empty };
    Kind kind = Kind::Nearby;
    QString region;      // "Number region" or "Title region"
    QString text;        // the word concerned; empty for Empty
    QString edge;        // "top", "bottom", "left" or "right", as the page is displayed
    double distance = 0; // Nearby: points between the text's ink and the border
    QRectF box;          // user space: the ink (or cell) of the text concerned
    // One line for a tooltip or a report, for example
    // "Title region: 'SHEET TITLE' lies 1.2 pt above the top edge".
    QString sentence() const;
    bool operator==(const EdgeReason&) const = default;
};

// The outcome of reading one page: whitespace-collapsed texts, and whether
// either region needs an edge/text check. `reasons` says why, when it does;
// it is detail for the review and does not take part in comparisons.
struct PageRead
{
    int index = 0;
    QString number;
    QString title;
    bool warning = false;
    QList<EdgeReason> reasons;
    // A region read nothing while it shows drawn ink: the page carries its
    // name as drawing, not text. Detail, like `reasons`: not compared.
    bool outlinedText = false;
    bool operator==(const PageRead& o) const
    {
        return index == o.index && number == o.number && title == o.title && warning == o.warning;
    }
};

// A review row: exactly the keys "page" (int, one-based), "number", "title"
// and "state" (QString). rows[i] always describes page index i.
using ReviewRow = QVariantMap;

namespace ReviewState {
inline const QString needsRegions = QStringLiteral("Needs regions");
inline const QString noText = QStringLiteral("No text \u00B7 enter names");
inline const QString needsReading = QStringLiteral("Needs reading");
inline const QString readReview = QStringLiteral("Read; review");
inline const QString checkEdges = QStringLiteral("Check edges/text");
inline const QString edited = QStringLiteral("Edited; review");
} // namespace ReviewState

// A fresh row for page index `index`: page index+1, empty number and title.
ReviewRow makeRow(int index, const QString& state);

// Raised by WorkCancellation::check() once the token is cancelled. Carries no
// message: workflows turn it into their own cancellation text.
class CancellationError : public std::exception
{
public:
    const char* what() const noexcept override { return "cancelled"; }
};

// Any failure with a user-facing message: a domain, an integer code and the
// message. Workflows show "<prefix>" + message().
class TaskError : public std::exception
{
public:
    TaskError(QString domain, int code, QString message);
    const QString& domain() const { return m_domain; }
    int code() const { return m_code; }
    const QString& message() const { return m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_domain;
    int m_code;
    QString m_message;
    QByteArray m_utf8;
};

// An error of the domain "Planfolio".
class PlanfolioError : public TaskError
{
public:
    PlanfolioError(int code, QString message) : TaskError(QStringLiteral("Planfolio"), code, std::move(message)) {}
};

// The file system's own error, passed on with the system's description of
// the error code (std::error_code::message()).
class FileSystemError : public TaskError
{
public:
    explicit FileSystemError(std::error_code ec);
    std::error_code errorCode() const { return m_ec; }

private:
    std::error_code m_ec;
};

// The cancellation token of one background task. The main thread cancels,
// the worker checks; every access to the flag is under the token's own lock.
// The flag only goes from false to true.
class WorkCancellation
{
public:
    WorkCancellation() = default;
    WorkCancellation(const WorkCancellation&) = delete;
    WorkCancellation& operator=(const WorkCancellation&) = delete;

    void cancel();
    bool isCancelled() const;
    // Throws CancellationError once cancelled.
    void check() const;

private:
    mutable std::mutex lock;
    bool value = false;
};

// Progress after each unit of work: (done, total). Called on the thread
// that runs the operation.
using Progress = std::function<void(int done, int total)>;

// The text layers an open took, kept so that reads select from them
// instead of interpreting every page again: entry i is page i's layer in
// the compact form of PageText::toBytes(), or an empty array where that
// page's layer was not kept (the document's layers would have passed the
// memory bound) and must be taken again. Implicitly shared: copies are
// cheap and may cross threads.
using KeptTextLayers = QList<QByteArray>;

namespace DrawingWorkflow {

// A "Planfolio" error with code 1 carrying `message`; returned, not raised.
PlanfolioError failure(const QString& message);

// Sorts the admitted document's pages into geometry groups in founding
// order (Part of the open task, on the worker). Checks `cancel` before every
// page; reports progress (i+1, pageCount) after each page.
// Throws CancellationError, or PlanfolioError "Page N is unreadable.".
QList<DrawingGroup> groups(const PdfDocument& document, const WorkCancellation& cancel,
                           const Progress& progress = {});

// Zero-based indices of the pages whose whole text is empty after trimming
// whitespace. Checks `cancel` before every page and once at the end.
// May spread pages over both cores, each thread with its own document opened
// from document.bytes(); results and progress order are those of the serial
// scan. `progress` may run on either of those threads, never on two at once.
// Throws CancellationError or PlanfolioError "Page N is unreadable.".
// When `kept` is given it receives every page's layer, as long as the
// layers together stay within keptLayerLimit() bytes; the rest are left
// empty.
QSet<int> pagesWithoutText(const PdfDocument& document, const WorkCancellation& cancel,
                           const Progress& progress = {}, KeptTextLayers* kept = nullptr);

// The memory bound of a document's kept text layers, in bytes (256 MB).
qint64 keptLayerLimit();
// Changes the bound, for tests of a document that passes it.
void setKeptLayerLimit(qint64 bytes);

// Reads number and title of each page in `pages` (in that order) with the
// regions in `regions` (keyed by zero-based index), from a document opened
// anew from `data`. All or nothing. May spread pages over both cores like
// pagesWithoutText: same results, progress (k+1, n) rising by one, called on
// either thread but never on two at once; on failure the error of the first
// failing page in the requested order. Throws CancellationError or a
// PlanfolioError with the reading messages.
// Pages whose layer is in `kept` are selected from it with no PDF work
// (on the calling thread); the others are interpreted as above.
QList<PageRead> read(const QByteArray& data, const QList<int>& pages, const QMap<int, PageRegions>& regions,
                     const WorkCancellation& cancel, const Progress& progress = {},
                     const KeptTextLayers& kept = {});

} // namespace DrawingWorkflow
