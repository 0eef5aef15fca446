#pragma once

// The regions a read uses, as given in a JSON file:
//   {"groups": {"1": {"number": [x, y, w, h], "title": [x, y, w, h]}},
//    "pages":  {"12": {"number": [...], "title": [...]}}}
// Group and page numbers are one-based; rectangles are PDF points in each
// page's own unrotated space. A page entry replaces its group's regions for
// that page, as a per-page region does in the window. An entry may lack a
// region: the read then refuses that page with its own message.

#include "Workflow.h"

#include <QList>
#include <QMap>
#include <QString>

class RegionsFile
{
  public:
    // Throws CliFailure (refused) naming the file when it is not JSON or
    // does not have the shape above.
    static RegionsFile load(const QString& path);

    // Throws CliFailure (refused) when a group or page number does not
    // exist in a document of `groupCount` groups and `pageCount` pages.
    void checkAgainst(int groupCount, int pageCount) const;

    // The regions that govern page `index`: its own entry, else its
    // group's, else none.
    PageRegions effective(int index, const QList<DrawingGroup>& groups) const;

  private:
    QString m_path;
    QMap<int, PageRegions> m_groups; // zero-based group position
    QMap<int, PageRegions> m_pages;  // zero-based page index
};
