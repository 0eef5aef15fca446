#pragma once

// Selects the misbehaving PDF helper (tests/helper) for as long as it lives:
// a crash, hang, endless allocation or slow answer on one page's text or
// render, with the service's limits shortened so tests end quickly. The
// real helper and its limits come back when it goes out of scope.

#include "PdfDocument.h"

#include <QByteArray>

class HelperFault
{
public:
    // `fault`: "crash", "hang", "allocate" or "slow"; `page` zero-based, -1
    // for every page; `work`: "text", "render" or nullptr for both.
    HelperFault(const char* fault, int page, const char* work = nullptr, double seconds = 30,
                qint64 memory = qint64(1) << 30)
    {
        qputenv("PLANFOLIO_TEST_HELPER_FAULT", fault);
        qputenv("PLANFOLIO_TEST_HELPER_PAGE", QByteArray::number(page));
        if (work)
            qputenv("PLANFOLIO_TEST_HELPER_WORK", work);
        else
            qunsetenv("PLANFOLIO_TEST_HELPER_WORK");
        PdfHelperSettings s = m_saved;
        s.program = QStringLiteral(PLANFOLIO_TEST_HELPER);
        s.textSeconds = seconds;
        s.renderSeconds = seconds;
        s.memoryBytes = memory;
        setPdfHelperSettings(s);
    }
    ~HelperFault()
    {
        qunsetenv("PLANFOLIO_TEST_HELPER_FAULT");
        qunsetenv("PLANFOLIO_TEST_HELPER_PAGE");
        qunsetenv("PLANFOLIO_TEST_HELPER_WORK");
        setPdfHelperSettings(m_saved);
    }
    HelperFault(const HelperFault&) = delete;
    HelperFault& operator=(const HelperFault&) = delete;

private:
    PdfHelperSettings m_saved = pdfHelperSettings();
};
