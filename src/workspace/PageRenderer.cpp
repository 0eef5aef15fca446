#include "PageRenderer.h"

#include "PdfDocument.h"

#include <QHash>
#include <QMap>
#include <QPointer>
#include <QThread>

#include <condition_variable>
#include <mutex>

namespace {
struct Request
{
    int channel = 0;
    quint64 ticket = 0;
    quint64 source = 0;
    int page = -1;
    double dpi = 72;
    QRectF region;
};
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

    bool isCurrent(int channel, quint64 ticket)
    {
        std::lock_guard guard(lock);
        return !stopping && latest.value(channel) == ticket;
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
        for (auto it = m_shared->latest.begin(); it != m_shared->latest.end(); ++it)
            it.value() = 0;
    }
    m_shared->wake.notify_one();
}

quint64 PageRenderer::request(int channel, int page, double dpi, const QRectF& region)
{
    quint64 ticket;
    {
        std::lock_guard guard(m_shared->lock);
        ticket = ++m_shared->nextTicket;
        m_shared->latest[channel] = ticket;
        m_shared->pending[channel] = Request{channel, ticket, m_shared->sourceId, page, dpi, region};
    }
    m_shared->wake.notify_one();
    return ticket;
}

void PageRenderer::cancel(int channel)
{
    std::lock_guard guard(m_shared->lock);
    m_shared->latest[channel] = 0;
    m_shared->pending.remove(channel);
}

void PageRenderer::run()
{
    std::shared_ptr<Shared> shared = m_shared;
    std::unique_ptr<PdfDocument> document;
    quint64 documentSource = 0;

    for (;;) {
        Request next;
        QByteArray source;
        quint64 sourceId = 0;
        {
            std::unique_lock guard(shared->lock);
            shared->wake.wait(guard, [&] { return shared->stopping || !shared->pending.isEmpty(); });
            if (shared->stopping)
                return;
            next = shared->pending.first();
            shared->pending.erase(shared->pending.begin());
            source = shared->source;
            sourceId = shared->sourceId;
        }
        if (next.source != sourceId)
            continue;
        if (documentSource != sourceId) {
            document.reset();
            if (!source.isEmpty())
                document = PdfDocument::open(source);
            documentSource = sourceId;
        }
        if (!document)
            continue;
        const std::optional<PdfPage> page = document->page(next.page);
        if (!page)
            continue;

        const int channel = next.channel;
        const quint64 ticket = next.ticket;
        const AbortCheck abort = [shared, channel, ticket] { return !shared->isCurrent(channel, ticket); };
        if (abort())
            continue;
        Result result;
        result.channel = channel;
        result.ticket = ticket;
        result.page = next.page;
        result.dpi = next.dpi;
        result.thread = QThread::currentThread();
        if (next.region.isNull()) {
            result.image = page->render(next.dpi, abort, &result.failed);
        } else {
            result.region = next.region.normalized().intersected(page->cropBox());
            if (!result.region.isEmpty())
                result.image = page->renderRegion(result.region, next.dpi, abort, &result.failed);
        }
        if ((result.image.isNull() && !result.failed) || abort())
            continue;

        // The renderer outlives this thread (its destructor joins it), and a
        // call queued to a destroyed object is discarded.
        QMetaObject::invokeMethod(this, [this, result = std::move(result)] { deliver(result); },
                                  Qt::QueuedConnection);
    }
}

void PageRenderer::deliver(Result result)
{
    if (!m_shared->isCurrent(result.channel, result.ticket))
        return;
    Q_EMIT rendered(result);
}
