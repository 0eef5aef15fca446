#include "App.h"

// The document text check: a modal alert that says which pages have no
// extractable text, from the scan made when the document was opened. It
// scans nothing again and changes nothing.

#include "MainWindow.h"
#include "PdfDocument.h"
#include "Toolkit.h"

#include <algorithm>

namespace {
// Page numbers listed before the list is cut short.
constexpr int listedPages = 40;
} // namespace

void App::documentCheck()
{
    if (!document)
        return;
    QList<int> missing(noTextPages.cbegin(), noTextPages.cend());
    std::sort(missing.begin(), missing.end());

    QString message;
    QString informative = QStringLiteral("Checked ") + QString::number(document->pageCount()) +
                          QStringLiteral(" source pages. ");
    if (missing.isEmpty()) {
        message = QStringLiteral("Text check complete");
        informative +=
            QStringLiteral("Every page contains some extractable text. This does not guarantee that the "
                           "title block itself is readable.");
    } else {
        message = QString::number(missing.size()) + QStringLiteral(" pages need manual names");
        QStringList numbers;
        for (int i = 0; i < std::min<qsizetype>(missing.size(), listedPages); ++i)
            numbers.append(QString::number(missing[i] + 1));
        QString list = numbers.join(QStringLiteral(", "));
        if (missing.size() > listedPages)
            list += QStringLiteral(", \u2026");
        informative +=
            QStringLiteral("No extractable text on source pages: ") + list + QStringLiteral(".\n\n") +
            QStringLiteral("OCR is not supported. Enter their number and title directly in the table; these "
                           "pages are skipped when reading regions. Manual names are kept.");
    }
    informative +=
        QStringLiteral("\n\nAlways inspect the number and title regions on each page. Covers and other "
                       "layouts can differ even within the same geometry group. This check does not "
                       "verify naming accuracy.");
    toolkit().alert(window.get(), message, informative, QStringLiteral("Continue"));
}
