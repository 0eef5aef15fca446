#pragma once

// One-based page lists as users type them: "1-5,9", "3", "2, 4-6". The text
// is checked when the command line is read; the page numbers are checked
// against the document once it is open. Both failures are usage errors.

#include <QList>
#include <QPair>
#include <QString>

class PageList
{
  public:
    // Throws CliFailure (usage) when `text` is not a comma-separated list
    // of page numbers and ascending ranges "a-b".
    static PageList parse(const QString& option, const QString& text);

    // The zero-based indices of the listed pages, ascending, each once.
    // Throws CliFailure (usage) when a page is 0 or above `pageCount`.
    QList<int> indices(int pageCount) const;

    // A list of exactly one page number; usage error for anything else.
    static PageList parseSingle(const QString& option, const QString& text);

  private:
    QString m_option;
    QList<QPair<qint64, qint64>> m_ranges; // one-based, inclusive
};
