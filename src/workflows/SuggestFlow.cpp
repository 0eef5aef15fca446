#include "App.h"

// The suggestion flow: "Suggest regions" reads the text layers of the
// active group's pages (or of the shown page alone, in "This page only"
// scope) on the worker, from a document of the task's own opened from the
// source bytes, and looks there for the sheet number and title; where
// nothing is found by itself, another group's title block is carried over
// to where it stands on these pages. What it
// finds is shown over the page as grey outlines with a choice: "Use
// suggestion" sets both regions exactly as two drags would; "Dismiss"
// drops them. Nothing is set until the user chooses.

#include "SegmentedControl.h"
#include "SuggestionBar.h"
#include "SuggestionOutlines.h"
#include "Workflow.h"

#include <QLabel>
#include <QTableView>

#include <utility>

namespace {

const QString cancelledText = QStringLiteral("Suggestion cancelled. Regions unchanged.");

QString quoted(const QString& text)
{
    return QStringLiteral("\u201C") + text + QStringLiteral("\u201D");
}

QString described(const App::ShownSuggestion& shown)
{
    const RegionSuggestion::Suggestion& found = shown.found;
    QString text = shown.page
                       ? QStringLiteral("Suggested regions for page ") + QString::number(*shown.page + 1)
                       : QStringLiteral("Suggested regions for this group");
    text += QStringLiteral(": number ") + quoted(found.exampleNumber) + QStringLiteral(", title ") +
            quoted(found.exampleTitle);
    if (!shown.page)
        text += QStringLiteral(" on page ") + QString::number(found.examplePage + 1) +
                QStringLiteral("; they read a number and a title on ") + QString::number(found.pagesRead) +
                QStringLiteral(" of ") + QString::number(found.pagesWithText) +
                QStringLiteral(" pages looked at");
    return text + QLatin1Char('.');
}

// Runs `work` (a suggestion task's part on the worker); when it throws, the
// task ends with the cancelled text or "Suggestion failed: " and the reason.
template <typename Work> void endingOnError(App& app, Work&& work)
{
    try {
        std::forward<Work>(work)();
    } catch (const CancellationError&) {
        app.deliver([&app] { app.finish(cancelledText); });
    } catch (const TaskError& error) {
        app.deliver([&app, message = error.message()] {
            app.finish(QStringLiteral("Suggestion failed: ") + message);
        });
    } catch (const std::exception& error) {
        app.deliver([&app, message = QString::fromUtf8(error.what())] {
            app.finish(QStringLiteral("Suggestion failed: ") + message);
        });
    }
}

} // namespace

void App::suggestRegions()
{
    if (busy() || !sourceData || !document)
        return;
    if (activeGroup < 0 || activeGroup >= groups.size())
        return;
    dismissSuggestion();

    const bool pageOnly = scope->selectedSegment() == 1;
    QList<QList<int>> others = RegionSuggestion::textPagesOf(groups, noTextPages);
    QList<int> pages = others.takeAt(activeGroup);
    if (pageOnly)
        pages = noTextPages.contains(activePage) ? QList<int>{} : QList<int>{activePage};
    if (pages.isEmpty()) {
        alert(
            QStringLiteral("These pages have no extractable text. OCR is not supported. Enter their numbers "
                           "and titles directly in the table."));
        return;
    }
    ShownSuggestion target;
    target.group = activeGroup;
    if (pageOnly)
        target.page = activePage;

    const std::shared_ptr<WorkCancellation> cancel = begin(QStringLiteral("Suggesting regions\u2026"));
    // `this` stays valid for the job: the destructor waits for it.
    submit([this, data = *sourceData, layers = textLayers, pages, others, target, cancel] {
        endingOnError(*this, [&] {
            // Where nothing is found by itself (one sheet without captions,
            // a title block elsewhere), another group's block is carried over.
            const std::optional<RegionSuggestion::Suggestion> found = RegionSuggestion::suggestOrBorrow(
                data, pages, others, *cancel,
                [this](int done, int total) { report(done, total, QStringLiteral("Suggesting")); }, layers);
            deliver([this, found, target, cancel] {
                if (cancel->isCancelled()) {
                    finish(cancelledText);
                    return;
                }
                if (!found) {
                    finish(target.page ? QStringLiteral("No sheet number and title found to suggest for this "
                                                        "page. Drag its regions by hand.")
                                       : QStringLiteral("No sheet number and title found to suggest for this "
                                                        "group. Drag its regions by hand."));
                    return;
                }
                ShownSuggestion shown = target;
                shown.found = *found;
                suggestion = shown;
                suggestionOutlines->show(shown.page ? QList<int>{*shown.page} : groups[shown.group].pages,
                                         found->number, found->title);
                suggestionBar->present(described(shown), QStringLiteral("Use suggestion"));
                finish(
                    QStringLiteral("Suggested regions are shown in grey. Use the suggestion to set them, or "
                                   "dismiss it."));
            });
        });
    });
}

namespace {

// "groups 1 and 2", "group 1", "pages 3, 7 and 10"
QString numbered(const QString& one, const QString& many, const QList<int>& indexes)
{
    QStringList numbers;
    for (int index : indexes)
        numbers.append(QString::number(index + 1));
    QString list = numbers.join(QStringLiteral(", "));
    if (numbers.size() > 1)
        list = numbers.mid(0, numbers.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" and ") +
               numbers.last();
    return (numbers.size() == 1 ? one : many) + QLatin1Char(' ') + list;
}

QString describedAll(const RegionSuggestion::SetSuggestion& shown)
{
    QString text = QStringLiteral("Suggested regions for ") +
                   numbered(QStringLiteral("group"), QStringLiteral("groups"), shown.groups.keys());
    if (!shown.pages.isEmpty())
        text += QStringLiteral(", and their own for ") +
                numbered(QStringLiteral("page"), QStringLiteral("pages"), shown.pages.keys());
    text += QLatin1Char('.');
    if (!shown.missed.isEmpty())
        text += QStringLiteral(" None found for ") +
                numbered(QStringLiteral("group"), QStringLiteral("groups"), shown.missed) +
                QStringLiteral("; drag its regions by hand.");
    return text;
}

} // namespace

void App::suggestAllGroups()
{
    if (busy() || !sourceData || !document || groups.isEmpty())
        return;
    dismissSuggestion();
    const QList<QList<int>> groupPages = RegionSuggestion::textPagesOf(groups, noTextPages);

    const std::shared_ptr<WorkCancellation> cancel = begin(QStringLiteral("Suggesting regions\u2026"));
    // `this` stays valid for the job: the destructor waits for it.
    submit([this, data = *sourceData, layers = textLayers, groupPages, cancel] {
        endingOnError(*this, [&] {
            const RegionSuggestion::SetSuggestion found = RegionSuggestion::suggestSet(
                data, groupPages, *cancel,
                [this](int done, int total) { report(done, total, QStringLiteral("Suggesting")); }, layers);
            deliver([this, found, cancel] {
                if (cancel->isCancelled()) {
                    finish(cancelledText);
                    return;
                }
                if (found.groups.isEmpty()) {
                    finish(QStringLiteral("No sheet number and title found to suggest for any group. Drag "
                                          "the regions by hand."));
                    return;
                }
                suggestions = found;
                QMap<int, PageRegions> outlines;
                for (auto it = found.groups.cbegin(); it != found.groups.cend(); ++it) {
                    for (int page : std::as_const(groups[it.key()].pages))
                        outlines.insert(page, PageRegions(it->number, it->title));
                }
                for (auto it = found.pages.cbegin(); it != found.pages.cend(); ++it)
                    outlines.insert(it.key(), PageRegions(it->number, it->title));
                suggestionOutlines->showEach(outlines);
                suggestionBar->present(describedAll(found), QStringLiteral("Use all"));
                finish(QStringLiteral("Suggested regions are shown in grey. Use them all to set them, or "
                                      "dismiss them."));
            });
        });
    });
}

void App::useSuggestion()
{
    if (busy())
        return;
    if (suggestions) {
        const RegionSuggestion::SetSuggestion all = *suggestions;
        dismissSuggestion();
        // Each set as if dragged: the group's on one of its pages, then the
        // pages' own; the scope and mode controls as the user had them.
        const int scopeBefore = scope->selectedSegment();
        const int modeBefore = mode->selectedSegment();
        const int shown = activePage;
        for (auto it = all.groups.cbegin(); it != all.groups.cend(); ++it) {
            if (it.key() < 0 || it.key() >= groups.size() || groups[it.key()].pages.isEmpty())
                continue;
            assignRegions(groups[it.key()].pages.first(), false, PageRegions(it->number, it->title));
        }
        for (auto it = all.pages.cbegin(); it != all.pages.cend(); ++it)
            assignRegions(it.key(), true, PageRegions(it->number, it->title));
        scope->setSelectedSegment(scopeBefore);
        mode->setSelectedSegment(modeBefore);
        if (table && shown >= 0 && shown < rows.size())
            table->selectRow(shown);
        showPage(shown);
        refreshControls();
        status->setText(QStringLiteral("Regions set for ") +
                        numbered(QStringLiteral("group"), QStringLiteral("groups"), all.groups.keys()) +
                        (all.pages.isEmpty() ? QString()
                                             : QStringLiteral(" and ") + numbered(QStringLiteral("page"),
                                                                                  QStringLiteral("pages"),
                                                                                  all.pages.keys())) +
                        QStringLiteral(". Read all groups to update results."));
        return;
    }
    if (!suggestion)
        return;
    const ShownSuggestion shown = *suggestion;
    dismissSuggestion();
    if (shown.group < 0 || shown.group >= groups.size())
        return;
    const int page =
        shown.page ? *shown.page
                   : (groups[shown.group].pages.contains(activePage) ? activePage
                                                                     : groups[shown.group].pages.first());
    // The mode control is left as the user had it, as after two drags in
    // which the user switched it back.
    const int modeBefore = mode->selectedSegment();
    assignRegions(page, shown.page.has_value(), PageRegions(shown.found.number, shown.found.title));
    mode->setSelectedSegment(modeBefore);
}

void App::dismissSuggestion()
{
    suggestion.reset();
    suggestions.reset();
    if (suggestionOutlines)
        suggestionOutlines->clear();
    if (suggestionBar)
        suggestionBar->hide();
}
