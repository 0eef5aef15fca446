#pragma once

// The helper process of the PDF service. Every use of the text and
// rendering library (poppler) runs in a helper process, so that a file that
// makes it hang, grow without end or crash costs one page's answer, never
// the window or the command-line tool. The service starts the helper
// itself (see PdfDocument); this header is for the helper's own main().

#include <functional>

namespace PdfHelper {

// What a request is for, as seen by a test hook.
enum class Work { Load, Text, Render, Reference, Ink };

// A hook run before each request is carried out, with the request's kind
// and page (-1 for Load). A test helper uses it to crash, hang or allocate
// without end on purpose; the real helper has none.
using BeforeWork = std::function<void(Work work, int page)>;

// Serves requests on the descriptors the service opened for the helper
// until the service closes the socket; returns the process's exit status.
// `argv` carries the limits the service chose ("--memory-limit=BYTES").
int serve(int argc, char** argv, const BeforeWork& before = {});

} // namespace PdfHelper
