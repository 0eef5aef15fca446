#include "PageParallel.h"

#include "PdfDocument.h"

#include <algorithm>
#include <climits>
#include <exception>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace {

// State shared by the threads of one run; every field is read and written
// under `lock`.
struct Shared
{
    std::mutex lock;
    int next = 0;
    int done = 0;
    int failedAt = INT_MAX;
    std::exception_ptr failure;
};

void workLoop(Shared& shared, const PdfDocument& document, int count, const WorkCancellation& cancel,
              const Progress& progress, const PageParallel::PageWork& work)
{
    for (;;) {
        int position = 0;
        {
            std::lock_guard guard(shared.lock);
            // Positions are claimed in ascending order, so every position
            // below a failure is already claimed and will be finished.
            if (shared.failure || shared.next >= count)
                return;
            position = shared.next++;
        }
        try {
            cancel.check();
            work(position, document);
            std::lock_guard guard(shared.lock);
            ++shared.done;
            if (progress)
                progress(shared.done, count);
        } catch (...) {
            std::lock_guard guard(shared.lock);
            if (position < shared.failedAt) {
                shared.failedAt = position;
                shared.failure = std::current_exception();
            }
        }
    }
}

} // namespace

int PageParallel::defaultThreads()
{
    return std::thread::hardware_concurrency() >= 2 ? 2 : 1;
}

void PageParallel::run(const PdfDocument& document, int count, const WorkCancellation& cancel,
                       const Progress& progress, const PageWork& work, int threads)
{
    Shared shared;
    const int helpers = count >= 2 ? std::max(0, threads - 1) : 0;
    std::vector<std::thread> pool;
    pool.reserve(helpers);
    const QByteArray bytes = document.bytes();
    for (int t = 0; t < helpers; ++t) {
        try {
            pool.emplace_back([&shared, &bytes, count, &cancel, &progress, &work] {
                // A helper that cannot open its own document simply takes no
                // positions; the calling thread covers them.
                try {
                    const std::unique_ptr<PdfDocument> own = PdfDocument::open(bytes);
                    if (own)
                        workLoop(shared, *own, count, cancel, progress, work);
                } catch (...) {
                }
            });
        } catch (const std::system_error&) {
            break; // no thread to be had: fewer helpers
        }
    }
    workLoop(shared, document, count, cancel, progress, work);
    for (std::thread& thread : pool)
        thread.join();
    if (shared.failure)
        std::rethrow_exception(shared.failure);
}
