// A PDF helper that misbehaves on purpose, for the tests of the service's
// limits: the real helper, plus a fault chosen by the test through the
// environment (read only here, never by the product):
//   PLANFOLIO_TEST_HELPER_FAULT = crash | hang | allocate | slow
//   PLANFOLIO_TEST_HELPER_WORK  = text | render (default: both)
//   PLANFOLIO_TEST_HELPER_PAGE  = the zero-based page it strikes (default: any)

#include "PdfHelper.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include <unistd.h>

int main(int argc, char** argv)
{
    const char* fault = std::getenv("PLANFOLIO_TEST_HELPER_FAULT");
    const char* work = std::getenv("PLANFOLIO_TEST_HELPER_WORK");
    const char* pageText = std::getenv("PLANFOLIO_TEST_HELPER_PAGE");
    const int page = pageText ? std::atoi(pageText) : -1;
    return PdfHelper::serve(argc, argv, [=](PdfHelper::Work kind, int at) {
        if (!fault || kind == PdfHelper::Work::Load || (page >= 0 && at != page))
            return;
        if (work && std::strcmp(work, "text") == 0 && kind != PdfHelper::Work::Text)
            return;
        if (work && std::strcmp(work, "render") == 0 && kind != PdfHelper::Work::Render)
            return;
        if (std::strcmp(fault, "crash") == 0)
            std::abort();
        if (std::strcmp(fault, "hang") == 0) {
            for (;;)
                ::pause();
        }
        if (std::strcmp(fault, "allocate") == 0) {
            // Touches every page so the memory is really taken.
            for (;;) {
                char* block = static_cast<char*>(std::malloc(1 << 20));
                if (!block)
                    std::abort();
                std::memset(block, 1, 1 << 20);
            }
        }
        if (std::strcmp(fault, "slow") == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(400));
    });
}
