#include "ReviewColumnSizer.h"

#include "App.h"
#include "ReviewTableModel.h"

#include <QEvent>
#include <QHeaderView>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStyle>
#include <QTableView>

#include <algorithm>
#include <cmath>

namespace {
int stateColumn()
{
    return ReviewTableModel::column(QStringLiteral("state"));
}

int titleColumn()
{
    return ReviewTableModel::column(QStringLiteral("title"));
}
} // namespace

ReviewColumnSizer::ReviewColumnSizer(QTableView* table) : QObject(table), m_table(table)
{
    table->viewport()->installEventFilter(this);
}

int ReviewColumnSizer::baseWidth(const QTableView* table, int column)
{
    const QList<TableColumn> columns = App::tableColumns();
    if (column < 0 || column >= columns.size())
        return 0;
    int width = columns[column].width;
    if (column == stateColumn()) {
        // The item view draws a cell's text inside this margin on each side
        // and cuts it short with an ellipsis when it does not fit.
        const int margin = table->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, table) + 1;
        const QFontMetricsF metrics(table->font());
        for (const QString& state :
             {ReviewState::needsRegions, ReviewState::noText, ReviewState::needsReading,
              ReviewState::readReview, ReviewState::checkEdges, ReviewState::edited}) {
            // One pixel more for the rounding of the text's position.
            width = std::max(width, int(std::ceil(metrics.horizontalAdvance(state))) + 2 * margin + 1);
        }
    }
    return width;
}

int ReviewColumnSizer::naturalWidth(const QTableView* table)
{
    int width = 0;
    for (int i = 0; i < App::tableColumns().size(); ++i)
        width += baseWidth(table, i);
    return width + table->verticalScrollBar()->sizeHint().width() + 2 * table->frameWidth();
}

void ReviewColumnSizer::fit(QTableView* table)
{
    QHeaderView* header = table->horizontalHeader();
    const int count = std::min(header->count(), int(App::tableColumns().size()));
    int others = 0;
    for (int i = 0; i < count; ++i) {
        if (i == titleColumn())
            continue;
        header->resizeSection(i, baseWidth(table, i));
        others += baseWidth(table, i);
    }
    const int title = titleColumn();
    if (title >= 0 && title < count)
        header->resizeSection(title, std::max(baseWidth(table, title), table->viewport()->width() - others));
}

bool ReviewColumnSizer::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_table->viewport() && event->type() == QEvent::Resize) {
        const auto* resize = static_cast<QResizeEvent*>(event);
        if (resize->size().width() != resize->oldSize().width())
            fit(m_table);
    }
    return QObject::eventFilter(watched, event);
}
