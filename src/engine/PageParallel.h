#pragma once

// Spreads per-page work of the read and the text scan over both cores while
// keeping what callers see identical to a serial loop over the pages.

#include "Workflow.h"

#include <functional>

class PdfDocument;

namespace PageParallel {

// The work for position `position` (0 … count-1) on `document`. Runs on the
// calling thread or on a helper thread; each thread has its own document
// opened from the same bytes, so `document` is never shared. Writes its
// result into a slot of its own (one per position) and reports failure by
// throwing.
using PageWork = std::function<void(int position, const PdfDocument& document)>;

// Two threads when the machine has at least two cores, else one.
int defaultThreads();

// Runs `work` for every position 0 … count-1, positions claimed in
// ascending order by up to `threads` threads. The calling thread works on
// `document`; each further thread opens its own document from
// document.bytes() (shared, not copied) and drops out if that fails.
//
// Before each position `cancel.check()` runs as part of that position's
// work. After each position that succeeds, `progress` is called with
// (done, count) under one lock: done rises by one from 1, and the callback
// may run on any of the threads but never on two at once.
//
// On failure no new positions are claimed, positions already claimed run to
// their end, and the exception of the lowest failing position is rethrown
// unchanged on the calling thread: the error a serial loop would have met
// first. Returns once every thread has finished.
void run(const PdfDocument& document, int count, const WorkCancellation& cancel, const Progress& progress,
         const PageWork& work, int threads = defaultThreads());

} // namespace PageParallel
