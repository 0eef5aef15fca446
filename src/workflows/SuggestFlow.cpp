#include "App.h"

// The suggestion flow: "Suggest regions" reads the text layers of the
// active group's pages (or of the shown page alone, in "This page only"
// scope) on the worker, from a document of the task's own opened from the
// source bytes, and looks there for the sheet number and title. What it
// finds is shown over the page as grey outlines with a choice: "Use
// suggestion" sets both regions exactly as two drags would; "Dismiss"
// drops them. Nothing is set until the user chooses.

#include "SegmentedControl.h"
#include "SuggestionBar.h"
#include "SuggestionOutlines.h"

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

} // namespace

void App::suggestRegions()
{
    if (busy() || !sourceData || !document)
        return;
    if (activeGroup < 0 || activeGroup >= groups.size())
        return;
    dismissSuggestion();

    const bool pageOnly = scope->selectedSegment() == 1;
    QList<int> pages = pageOnly ? QList<int>{activePage} : groups[activeGroup].pages;
    pages.removeIf([this](int page) { return noTextPages.contains(page); });
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
    submit([this, data = *sourceData, layers = textLayers, pages, target, cancel] {
        try {
            const std::optional<RegionSuggestion::Suggestion> found = RegionSuggestion::suggestFor(
                data, pages, *cancel,
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
                suggestionBar->present(described(shown));
                finish(
                    QStringLiteral("Suggested regions are shown in grey. Use the suggestion to set them, or "
                                   "dismiss it."));
            });
        } catch (const CancellationError&) {
            deliver([this] { finish(cancelledText); });
        } catch (const TaskError& error) {
            deliver([this, message = error.message()] {
                finish(QStringLiteral("Suggestion failed: ") + message);
            });
        } catch (const std::exception& error) {
            deliver([this, message = QString::fromUtf8(error.what())] {
                finish(QStringLiteral("Suggestion failed: ") + message);
            });
        }
    });
}

void App::useSuggestion()
{
    if (busy() || !suggestion)
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
    if (suggestionOutlines)
        suggestionOutlines->clear();
    if (suggestionBar)
        suggestionBar->hide();
}
