#pragma once

// Page images off the main thread. A renderer owns one thread and, on that
// thread, its own PdfDocument opened from the bytes given to setSource(), so
// the main thread never asks poppler for anything and never shares a
// document with another thread.
//
// Requests go on channels (the page view uses one; a panel showing two
// crops uses two). A newer request on a channel makes the older ones stale:
// a stale request not yet started is skipped, one being rendered is
// abandoned through poppler's abort callback, and a stale image that was
// finished anyway is dropped before delivery. Results are delivered on the
// main thread through rendered().
//
// The latest images are kept (a few pages' worth), so going back to a page
// just seen shows it at once; and while nothing is asked for, the thread
// renders ahead what the caller expects to be asked next (renderAhead()),
// so that stepping through pages in order finds each one ready. A request
// always comes before work done ahead: a render ahead that is under way
// when a request for another image arrives is abandoned.

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QRectF>

#include <memory>

class QThread;

class PageRenderer : public QObject
{
    Q_OBJECT
public:
    // One finished image.
    struct Result
    {
        int channel = 0;
        quint64 ticket = 0;
        int page = -1;
        double dpi = 72;
        // The user-space rectangle the image shows (clipped to the crop
        // box); a null rectangle when it shows the whole crop box.
        QRectF region;
        QImage image;
        // The page could not be rendered (the image is then null): the PDF
        // library failed on it or broke its limits.
        bool failed = false;
        // The thread that rendered it (never the main thread).
        QThread* thread = nullptr;
        // It was ready when asked for (kept from before, or rendered
        // ahead), so no render was waited for.
        bool kept = false;
    };

    explicit PageRenderer(QObject* parent = nullptr);
    // Abandons the running render and joins the thread.
    ~PageRenderer() override;

    // Renders from now on from a document opened anew from `bytes`
    // (implicitly shared, not copied); empty bytes render nothing. Every
    // request made before is stale. Main thread.
    void setSource(const QByteArray& bytes);

    // Asks for page `page` (zero-based) at `dpi` (72 = one pixel a point),
    // stored rotation applied, on white: the whole crop box when `region`
    // is null, else only the part of the crop box inside `region` (user
    // space, points). Returns the request's ticket. Main thread.
    quint64 request(int channel, int page, double dpi, const QRectF& region = {});

    // Makes every request on `channel` stale. Main thread.
    void cancel(int channel);

    // One image a caller expects to ask for soon, as request() would ask.
    struct Ahead
    {
        int page = -1;
        double dpi = 72;
        QRectF region;
    };
    // Replaces the list of images to render ahead, most likely first. They
    // are rendered, when no request waits, into the kept images, and
    // delivered only when requested. Main thread.
    void renderAhead(const QList<Ahead>& wanted);

    // Whether the image request(…, page, dpi, region) would ask for is
    // kept, ready to be delivered at once. Main thread. For a part of a
    // page, an image of a larger part around it at the same resolution
    // serves as well: it is what request() delivers then, with its own
    // region.
    bool isKept(int page, double dpi, const QRectF& region = {}) const;

    // Nothing asked for or wanted ahead is left to render. Main thread.
    bool idle() const;

    // How many images are kept at most, and how many bytes they may take.
    static constexpr int keptImages = 16;
    static constexpr qint64 keptBytes = 128LL * 1024 * 1024;

    // The render thread, for tests that check where images are made.
    QThread* thread() const;

Q_SIGNALS:
    // A current (not stale) image, or a current request that failed, on the
    // main thread.
    void rendered(const PageRenderer::Result& result);

private:
    struct Shared;
    void run();
    void deliver(Result result);
    void post(Result result);

    std::shared_ptr<Shared> m_shared;
    std::unique_ptr<QThread> m_thread;
};
