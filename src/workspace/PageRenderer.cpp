#include "PageRenderer.h"

#include "PdfDocument.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QPointer>
#include <QThread>

#include <condition_variable>
#include <mutex>
#include <optional>

namespace {
// What an image is of: the same key gives the same pixels.
struct Key
{
    quint64 source = 0;
    int page = -1;
    double dpi = 72;
    QRectF region;

    bool operator==(const Key& other) const
    {
        return source == other.source && page == other.page && dpi == other.dpi &&
               region.isNull() == other.region.isNull() && region == other.region;
    }
};

struct Request
{
    int channel = 0;
    quint64 ticket = 0;
    Key key;
};

struct Waiter
{
    int channel = 0;
    quint64 ticket = 0;
};

struct Kept
{
    Key key;
    PageRenderer::Result result;
};

// Documents of renderers that have ended, with their helper processes
// running and their pages loaded: the review panel makes a renderer each
// time it opens, and takes up its predecessor's document rather than
// starting and loading a helper again. A document is used by one thread at
// a time; one in here is used by none.
//
// Never destroyed: at exit the PDF service's own statics may be gone before
// it, and the helpers end by themselves when the process does.
struct Spares
{
    std::mutex lock;
    std::vector<std::pair<QByteArray, std::unique_ptr<PdfDocument>>> list;
};
Spares& sparePool()
{
    static Spares* pool = new Spares;
    return *pool;
}
constexpr size_t maxSpares = 2;

std::unique_ptr<PdfDocument> takeSpare(const QByteArray& bytes)
{
    auto& [sparesLock, spares] = sparePool();
    std::lock_guard guard(sparesLock);
    for (auto it = spares.begin(); it != spares.end(); ++it) {
        if (it->first.constData() == bytes.constData() && it->first.size() == bytes.size()) {
            std::unique_ptr<PdfDocument> document = std::move(it->second);
            spares.erase(it);
            return document;
        }
    }
    return nullptr;
}

void leaveSpare(const QByteArray& bytes, std::unique_ptr<PdfDocument> document)
{
    std::unique_ptr<PdfDocument> dropped;
    {
        auto& [sparesLock, spares] = sparePool();
        std::lock_guard guard(sparesLock);
        spares.emplace_back(bytes, std::move(document));
        if (spares.size() > maxSpares) {
            dropped = std::move(spares.front().second);
            spares.erase(spares.begin());
        }
    }
    // Stopping its helpers happens outside the lock.
    dropped.reset();
}
} // namespace

// State both threads touch, always under `lock`.
struct PageRenderer::Shared
{
    std::mutex lock;
    std::condition_variable wake;
    bool stopping = false;
    quint64 nextTicket = 0;
    quint64 sourceId = 0;
    QByteArray source;
    // The latest ticket asked for on each channel; anything else is stale.
    QHash<int, quint64> latest;
    // At most one waiting request per channel: a newer one replaces it.
    QMap<int, Request> pending;
    // What to render when nothing is asked for, most likely first; an entry
    // leaves the list once rendered (or found impossible to render).
    QList<Key> ahead;
    // Finished images, the most recently used first.
    QList<Kept> kept;
    // The render under way, and the requests that wait for it.
    std::optional<Key> inflight;
    bool inflightAhead = false;
    QList<Waiter> waiters;

    bool isCurrent(int channel, quint64 ticket)
    {
        std::lock_guard guard(lock);
        return !stopping && latest.value(channel) == ticket;
    }

    // Whether the render under way is still worth finishing: a current
    // request waits for it, or it was started ahead, is still wanted ahead
    // and no request waits to run. Under `lock`.
    bool inflightWanted() const
    {
        if (stopping || !inflight)
            return false;
        for (const Waiter& w : waiters) {
            if (latest.value(w.channel) == w.ticket)
                return true;
        }
        return inflightAhead && pending.isEmpty() && ahead.contains(*inflight);
    }

    qsizetype keptIndex(const Key& key) const
    {
        for (qsizetype i = 0; i < kept.size(); ++i) {
            if (kept[i].key == key)
                return i;
        }
        return -1;
    }

    // Whether an image of `big` shows all `small` shows: the same image, or
    // a larger part of the same page at the same resolution.
    static bool covers(const Key& big, const Key& small)
    {
        if (big == small)
            return true;
        return !small.region.isNull() && !big.region.isNull() && big.source == small.source &&
               big.page == small.page && big.dpi == small.dpi && big.region.contains(small.region);
    }

    // A kept image that shows all `key` asks for, or -1.
    qsizetype coveringIndex(const Key& key) const
    {
        if (const qsizetype exact = keptIndex(key); exact >= 0)
            return exact;
        for (qsizetype i = 0; i < kept.size(); ++i) {
            if (covers(kept[i].key, key))
                return i;
        }
        return -1;
    }

    // The first image wanted ahead that is neither kept nor being made.
    std::optional<Key> nextAhead() const
    {
        for (const Key& key : ahead) {
            if (key.source == sourceId && keptIndex(key) < 0)
                return key;
        }
        return std::nullopt;
    }

    void keep(const Key& key, const PageRenderer::Result& result)
    {
        kept.prepend(Kept{key, result});
        qint64 bytes = 0;
        for (qsizetype i = 0; i < kept.size();) {
            const qint64 size = kept[i].result.image.sizeInBytes();
            if (kept[i].key.source != sourceId || i >= keptImages || (i > 0 && bytes + size > keptBytes)) {
                kept.removeAt(i);
                continue;
            }
            bytes += size;
            ++i;
        }
    }
};

PageRenderer::PageRenderer(QObject* parent) : QObject(parent), m_shared(std::make_shared<Shared>())
{
    m_thread.reset(QThread::create([this] { run(); }));
    m_thread->setObjectName(QStringLiteral("planfolio.page-render"));
    m_thread->start();
}

PageRenderer::~PageRenderer()
{
    {
        std::lock_guard guard(m_shared->lock);
        m_shared->stopping = true;
        m_shared->pending.clear();
        m_shared->ahead.clear();
    }
    m_shared->wake.notify_one();
    m_thread->wait();
}

QThread* PageRenderer::thread() const
{
    return m_thread.get();
}

void PageRenderer::setSource(const QByteArray& bytes)
{
    {
        std::lock_guard guard(m_shared->lock);
        m_shared->source = bytes;
        ++m_shared->sourceId;
        m_shared->pending.clear();
        m_shared->ahead.clear();
        m_shared->kept.clear();
        for (auto it = m_shared->latest.begin(); it != m_shared->latest.end(); ++it)
            it.value() = 0;
    }
    m_shared->wake.notify_one();
}

quint64 PageRenderer::request(int channel, int page, double dpi, const QRectF& region)
{
    quint64 ticket;
    std::optional<Result> ready;
    {
        std::lock_guard guard(m_shared->lock);
        Shared& s = *m_shared;
        ticket = ++s.nextTicket;
        s.latest[channel] = ticket;
        s.pending.remove(channel);
        const Key key{s.sourceId, page, dpi, region};
        if (const qsizetype found = s.coveringIndex(key); found >= 0) {
            ready = s.kept[found].result;
            ready->kept = true;
            // Used again: it is the last to go.
            s.kept.move(found, 0);
        } else if (s.inflight && Shared::covers(*s.inflight, key)) {
            // Being made (ahead, or for an earlier request): wait for it
            // rather than start it again.
            s.waiters.append(Waiter{channel, ticket});
        } else {
            s.pending[channel] = Request{channel, ticket, key};
        }
    }
    if (ready) {
        ready->channel = channel;
        ready->ticket = ticket;
        post(std::move(*ready));
    } else {
        m_shared->wake.notify_one();
    }
    return ticket;
}

bool PageRenderer::isKept(int page, double dpi, const QRectF& region) const
{
    std::lock_guard guard(m_shared->lock);
    return m_shared->coveringIndex(Key{m_shared->sourceId, page, dpi, region}) >= 0;
}

bool PageRenderer::idle() const
{
    std::lock_guard guard(m_shared->lock);
    return m_shared->pending.isEmpty() && !m_shared->inflight && !m_shared->nextAhead();
}

void PageRenderer::cancel(int channel)
{
    std::lock_guard guard(m_shared->lock);
    m_shared->latest[channel] = 0;
    m_shared->pending.remove(channel);
}

void PageRenderer::renderAhead(const QList<Ahead>& wanted)
{
    {
        std::lock_guard guard(m_shared->lock);
        m_shared->ahead.clear();
        for (const Ahead& a : wanted) {
            if (a.page >= 0 && a.dpi > 0)
                m_shared->ahead.append(Key{m_shared->sourceId, a.page, a.dpi, a.region});
        }
    }
    m_shared->wake.notify_one();
}

void PageRenderer::run()
{
    std::shared_ptr<Shared> shared = m_shared;
    std::unique_ptr<PdfDocument> document;
    quint64 documentSource = 0;
    QByteArray documentBytes;
    // The document outlives this renderer as a spare for the next one.
    const auto leave = [&] {
        if (document)
            leaveSpare(documentBytes, std::move(document));
    };

    for (;;) {
        Key key;
        QByteArray source;
        quint64 sourceId = 0;
        {
            std::unique_lock guard(shared->lock);
            shared->wake.wait(guard, [&] {
                return shared->stopping || !shared->pending.isEmpty() || shared->nextAhead();
            });
            if (shared->stopping) {
                guard.unlock();
                leave();
                return;
            }
            shared->waiters.clear();
            if (!shared->pending.isEmpty()) {
                const Request next = shared->pending.first();
                shared->pending.erase(shared->pending.begin());
                key = next.key;
                shared->waiters.append(Waiter{next.channel, next.ticket});
                shared->inflightAhead = false;
            } else {
                key = *shared->nextAhead();
                shared->inflightAhead = true;
            }
            shared->inflight = key;
            source = shared->source;
            sourceId = shared->sourceId;
        }
        const auto finish = [&](const std::optional<Result>& result, bool done) {
            QList<Waiter> waiters;
            {
                std::lock_guard guard(shared->lock);
                waiters = std::exchange(shared->waiters, {});
                shared->inflight.reset();
                // Rendered, or impossible to render: not to be tried again.
                if (done)
                    shared->ahead.removeAll(key);
                if (result && !result->image.isNull() && key.source == shared->sourceId)
                    shared->keep(key, *result);
            }
            if (!result)
                return;
            for (const Waiter& w : waiters) {
                Result copy = *result;
                copy.channel = w.channel;
                copy.ticket = w.ticket;
                post(std::move(copy));
            }
        };

        if (key.source != sourceId) {
            finish(std::nullopt, true);
            continue;
        }
        if (documentSource != sourceId) {
            leave();
            documentBytes = source;
            if (!source.isEmpty() && !(document = takeSpare(source))) {
                document = PdfDocument::open(source);
                // Large images reduced for a large sheet fitted to the view
                // (a quarter of a pixel a point), a smaller one fitted or a
                // page framed on its title block (one), and for the review
                // panel's crops and moderate zoom (four); finer renders use
                // the original.
                if (document) {
                    document->useDisplayCopies({0.25, 1, 4});
                    // The window's thread comes before its page images.
                    document->runHelpersInBackground();
                }
            }
            documentSource = sourceId;
        }
        const std::optional<PdfPage> page = document ? document->page(key.page) : std::nullopt;
        if (!page) {
            finish(std::nullopt, true);
            continue;
        }

        const AbortCheck abort = [shared] {
            std::lock_guard guard(shared->lock);
            return !shared->inflightWanted();
        };
        if (abort()) {
            finish(std::nullopt, false);
            continue;
        }
        Result result;
        result.page = key.page;
        result.dpi = key.dpi;
        result.thread = QThread::currentThread();
        if (key.region.isNull()) {
            result.image = page->render(key.dpi, abort, &result.failed);
        } else {
            result.region = key.region.normalized().intersected(page->cropBox());
            if (!result.region.isEmpty())
                result.image = page->renderRegion(result.region, key.dpi, abort, &result.failed);
        }
        // A finished image is kept even when it is no longer asked for: it
        // is the page as it is, and may be asked for again.
        if (result.image.isNull() && !result.failed) {
            finish(std::nullopt, !abort());
            continue;
        }
        finish(result, true);
    }
}

void PageRenderer::post(Result result)
{
    // The renderer outlives its thread (its destructor joins it), and a
    // call queued to a destroyed object is discarded.
    QMetaObject::invokeMethod(this, [this, result = std::move(result)] { deliver(result); },
                              Qt::QueuedConnection);
}

void PageRenderer::deliver(Result result)
{
    if (!m_shared->isCurrent(result.channel, result.ticket))
        return;
    Q_EMIT rendered(result);
}
