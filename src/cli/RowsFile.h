#pragma once

// The review rows an export uses, as given in a JSON file of the shape the
// read command prints: {"rows": [{"page": 1, "number": "A-001",
// "title": "COVER SHEET", "warning": false}, ...]}. "warning", "state" and
// "skipped" are not needed. The values are handed to the export as they
// are, so a page that is not an integer or a number that is not text gets
// the export's own message rather than one of ours.

#include "Workflow.h"

#include <QList>
#include <QString>

namespace RowsFile {

// Throws CliFailure (refused) naming the file when it is not JSON, has no
// "rows" array, or a row is not an object.
QList<ReviewRow> load(const QString& path);

} // namespace RowsFile
