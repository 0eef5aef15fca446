#pragma once

// The application object. It owns the main window, every control and all
// working state of the application (the open document, its geometry groups,
// regions, review rows and the running task), decides what happens on quit
// and close requests, and is the target of every control. All of its state
// is read and written on the main thread only.
//
// Its operations are defined in the folder of the area they belong to:
// construction and lifecycle here (App.cpp), the window and menus
// (WindowBuilder.cpp), the task runner (TaskRunner.cpp), the control rules
// (ControlRefresh.cpp), the privacy notice (PrivacyNotice.cpp); page display
// and region assignment in src/workspace, the four workflows in
// src/workflows.
//
// The working state is public, under the names the rest of the system uses
// for it, so that every operation (and a test) reads it directly.

#include "BookmarkNames.h"
#include "LiveReadout.h"
#include "RegionSuggestion.h"
#include "RegionView.h"
#include "Workflow.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSet>
#include <QString>
#include <QUrl>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class MainWindow;
class MonoProgress;
class PdfDocument;
class QAbstractItemModel;
class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTableView;
class QWidget;
class ReviewTableModel;
class SegmentedControl;
class SerialWorker;
class SuggestionBar;
class SuggestionOutlines;
class Toolkit;

// One column of the review table: its identifier (the review-row key it
// shows), header title and width in pixels.
struct TableColumn
{
    QString identifier;
    QString header;
    int width = 0;
};

class App : public QObject
{
    Q_OBJECT
public:
    // Creates every control with its title and all state at its initial
    // value; nothing is shown until applicationDidFinishLaunching(). Dialogs
    // and desktop services go through `toolkit`.
    explicit App(std::unique_ptr<Toolkit> toolkit, QObject* parent = nullptr);
    // Cancels a running task and waits for the worker to stop.
    ~App() override;

    Toolkit& toolkit() const { return *m_toolkit; }

    // --- Lifecycle (App.cpp) ---------------------------------------------
    // Applies the light monochrome look, builds the window and menus,
    // refreshes the controls and brings the window to the front.
    void applicationDidFinishLaunching();
    // Idle: true, once the user agrees to lose names typed by hand. Busy:
    // cancels the task, says so in the status line, false.
    bool applicationShouldTerminate();
    bool applicationShouldTerminateAfterLastWindowClosed() const;
    // Makes the window visible, raised and active; true. (Nothing on this
    // platform sends a reopen request; kept for desktops that do.)
    bool applicationShouldHandleReopen(bool hasVisibleWindows);
    // Idle: true, once the user agrees to lose names typed by hand (see
    // mayDiscardTypedNames). Busy: cancels the task and keeps the window,
    // false; when the task has ended the status says the window can be
    // closed now.
    bool windowShouldClose();
    // Names typed by hand that no export has written are the one piece of
    // work the application cannot give back: when the rows hold any, asks
    // "Discard the names typed for <file name>? They are not saved
    // anywhere." with "Discard" and "Cancel". True when there is nothing to
    // lose or the user chose Discard (the names then count as discarded,
    // so that a second request does not ask again); false on Cancel.
    bool mayDiscardTypedNames();
    // "Quit Planfolio": ends the process unless applicationShouldTerminate
    // refuses.
    void quit();
    // A quit request from the desktop (session end, another program) goes
    // through applicationShouldTerminate too: refused while a task runs.
    bool eventFilter(QObject* watched, QEvent* event) override;

    // --- Window (WindowBuilder.cpp) ---------------------------------------
    // The review table's columns, in order.
    static QList<TableColumn> tableColumns();
    // Puts `model` (parented by the caller) behind `table` and applies the
    // column widths. Until the review model exists, a header-only model
    // stands in.
    void installTableModel(QAbstractItemModel* model);

    // --- Task runner (TaskRunner.cpp) --------------------------------------
    // Starts a task: closes the review panel, commits a half-typed edit,
    // makes a fresh token (busy from now on), empties the bar, shows `label`
    // and refreshes the controls. Main thread; callers check busy() first.
    std::shared_ptr<WorkCancellation> begin(const QString& label);
    // Progress of the running task, from any thread: updates the main
    // thread (bar at done×100÷max(1,total), status "label done/total", the
    // status only while the task is not cancelled); an update that arrives
    // after the task's finish is dropped. Updates that come faster than the
    // main thread takes them are merged: at most one is waiting, holding
    // the latest.
    void report(int done, int total, const QString& label);
    // Ends the task: no token, the bar emptied, `message` in the status
    // line, controls refreshed. Main thread.
    void finish(const QString& message);
    // Asks the running task to stop: cancels its token, disables the cancel
    // button and relabels it "Cancelling…". Main thread.
    void cancelWork();
    // A modal alert with `message` and the toolkit's default button.
    void alert(const QString& message);
    // A task is running: the token is present.
    bool busy() const { return token != nullptr; }
    // Queues `job` on the worker (after every job queued before it).
    void submit(std::function<void()> job);
    // From any thread: runs `block` on the main thread, unless the
    // application object is gone by then.
    void deliver(std::function<void()> block);
    // Closes an open table cell editor, storing what was typed.
    void commitPendingEdit();
    // Closes and releases the region review panel, if one is held.
    void closeReviewPanel();
    // Test hook: called on the reporting thread inside report(), before the
    // update is posted. Set it only while no task runs.
    std::function<void(int done, int total, const QString& label)> reportObserver;

    // --- Control rules (ControlRefresh.cpp) --------------------------------
    void refreshControls();

    // --- Privacy notice (PrivacyNotice.cpp) --------------------------------
    void showPrivacy();
    static QString privacyMessage();
    static QString privacyText();

    // --- About (AboutBox.cpp) ------------------------------------------------
    // An alert naming the application and its version.
    void showAbout();
    static QString aboutMessage();
    static QString aboutText();

    // --- Workflows (src/workflows) -----------------------------------------
    void openPDF();
    // The open flow for the file at `path`, as if chosen in the open panel.
    void openFile(const QString& path);
    // What was dropped onto the window: one local file is opened through
    // the open flow; several, or anything that is not a file, is refused
    // with an alert. Ignored while a task runs.
    void openDropped(const QList<QUrl>& urls);
    void readRegions();
    // Names the rows of pages without text whose number and title are both
    // empty from the pages' bookmarks, as if typed ("Edited; review"); never
    // overwrites a name. Says in the status line how many it filled.
    void fillFromBookmarks();
    // "Read all groups": one read task over every page with text whose
    // effective regions (its own, or its group's) are complete, reported
    // with the read summary; pages without both regions are left as they
    // are.
    void readAllGroups();
    QPointer<QAction> readAllAction;
    void documentCheck();
    void exportFiles();

    // --- Page display and region assignment (src/workspace) ----------------
    std::optional<int> groupFor(int page) const;
    PageRegions pairFor(int page) const;
    // Where showPage(page) would place that page, coming from the shown
    // one: a place, or nothing for the fitted page.
    std::optional<RegionView::Place> openingPlace(int page) const;
    // Has the pages next to `index` in the table's order rendered ahead as
    // they will open, with their review panel crops.
    void renderAheadFrom(int index);
    // The crops the review panel, at the size it last had, asks for on
    // `page`; none before the panel has shown a crop.
    QList<PageRenderer::Ahead> cropsAhead(int page) const;
    // Takes the open panel's crop view sizes and, when they are new,
    // renders ahead with them.
    void noteReviewCrops();
    void clearHighlights();
    void showPage(int index);
    void selectRegion(const QRectF& rect, int page);
    // An outline of the shown page was moved or resized to `rect`: the
    // region it shows (the title when `title`) is set through selectRegion
    // as a drag would set it, on the page alone when the page has regions
    // of its own or "This page only" is chosen. The scope control stays;
    // the mode control points at a region still missing, else stays.
    void adjustRegion(bool title, const QRectF& rect, int page);
    void changeGroup();
    void changeScope();
    void resetPage();
    void invalidate(const QList<int>& pages);
    void inspectRegions();
    // Shows the page of the row `delta` rows further in table order with
    // the review panel open on it, where the panel was; nothing past the
    // first or last row, or while a task runs.
    void stepReviewPanel(int delta);
    // Where the user last had the review panel (frame position and size):
    // a new panel opens there rather than centred.
    std::optional<QRect> reviewPanelPlace;
    // The review panel's crop views as they last showed a crop.
    struct CropSizes
    {
        QSizeF number;
        QSizeF title;
        double pixelRatio = 1;
    };
    std::optional<CropSizes> reviewCrops;

    // --- Region files and suggestions ---------------------------------------
    // "Save regions…" and "Apply regions…" (src/workspace/RegionFiles.cpp):
    // the regions of the groups and pages, with their page layouts, to and
    // from a file the user chooses. Applying sets each group and page that
    // the file matches through the drag path (assignRegions) and says which
    // matched; a file that cannot be used changes nothing.
    void saveRegions();
    void applyRegions();
    // Sets `regions` (those present) on page `page`'s group, or on the page
    // alone, exactly as dragging them does: through selectRegion, number
    // first, with the scope and mode controls set for each drag.
    void assignRegions(int page, bool pageOnly, const PageRegions& regions);
    // "Suggest regions" (src/workflows/SuggestFlow.cpp): a task that finds
    // the active group's number and title regions (the shown page's alone
    // in "This page only" scope) from the text layer and shows them, to be
    // set with useSuggestion() or dropped with dismissSuggestion().
    void suggestRegions();
    // "Suggest regions for all groups" (src/workflows/SuggestFlow.cpp): one
    // task that suggests regions for every group, and regions of their own
    // for pages of a group that read nothing with the group's suggestion
    // (a title block elsewhere); shows them with "Use all" and "Dismiss".
    void suggestAllGroups();
    // Sets the suggestion on show (one, or all of them) as if dragged.
    void useSuggestion();
    void dismissSuggestion();
    // The suggestion on show: for the pages of group `group`, or for page
    // `page` alone.
    struct ShownSuggestion
    {
        RegionSuggestion::Suggestion found;
        int group = 0;
        std::optional<int> page;
    };
    std::optional<ShownSuggestion> suggestion;
    // The suggestions for all groups on show: by group, and by page for
    // pages that get their own.
    std::optional<RegionSuggestion::SetSuggestion> suggestions;
    QPointer<QAction> suggestAllAction;
    QPointer<QAction> saveRegionsAction;
    QPointer<QAction> applyRegionsAction;
    QPointer<QAction> suggestRegionsAction;
    QPointer<QAction> fillBookmarksAction; // Document ▸ "Fill names from bookmarks"
    QPointer<SuggestionBar> suggestionBar;
    QPointer<SuggestionOutlines> suggestionOutlines;

    // --- Review table (src/workspace/ReviewTable.cpp) ----------------------
    // The model behind `table`, a view of `rows` (App stays their owner);
    // installed by reloadTable() on first use.
    QPointer<ReviewTableModel> reviewModel;
    // Shows the current `rows` in the table, keeping its selection while
    // the number of rows is unchanged.
    void reloadTable();
    // The table's selection changed: shows the selected row's page.
    void tableSelectionChanged();
    // The text typed into row `row`'s "number" or "title" cell was
    // committed; trimmed and stored once, the second commit is a no-op.
    void edited(int row, const QString& key, const QString& text);

    // --- State, in creation order --------------------------------------------
    // The window exists from construction so that it owns the controls; it
    // is configured and shown at launch.
    std::unique_ptr<MainWindow> window;
    QPointer<RegionView> pdf;
    QPointer<QTableView> table;
    QPointer<QLabel> status;
    QPointer<SegmentedControl> mode;  // 0 "Number region", 1 "Title region"
    QPointer<SegmentedControl> scope; // 0 "Apply to group", 1 "This page only"
    QPointer<QComboBox> groupPicker;
    QPointer<QCheckBox> reviewed;
    QPointer<QPushButton> openButton;
    QPointer<QPushButton> readButton;
    QPointer<QPushButton> exportButton;
    QPointer<QPushButton> inspectButton;
    QPointer<QPushButton> checkButton;
    QPointer<QLabel> pageNotice;
    QSet<int> noTextPages;
    // Per page, the sheet name its bookmark spells (read at open).
    QMap<int, BookmarkName> bookmarkNames;
    // Pages whose last read found drawn text but no text in a region.
    QSet<int> outlinedPages;
    QPointer<QPushButton> resetButton;
    QPointer<QPushButton> cancelButton;
    QPointer<MonoProgress> progress;
    std::unique_ptr<SerialWorker> worker;
    std::shared_ptr<WorkCancellation> token;
    std::optional<QByteArray> sourceData;
    // The open file's name (without its folder), for questions about it.
    QString documentName;
    // Pages whose number or title the user typed since the document was
    // opened or last exported; a read or a region change that replaces the
    // row's names takes the page out again.
    QSet<int> typedPages;
    // Every page's text layer as the open took it, replaced with sourceData
    // (see KeptTextLayers).
    KeptTextLayers textLayers;
    // The page view's live readout while a region is dragged.
    LiveReadout liveReadout;
    std::unique_ptr<PdfDocument> document;
    QList<DrawingGroup> groups;
    QMap<int, PageRegions> groupRegions;
    QMap<int, PageRegions> overrides;
    QList<ReviewRow> rows;
    // Why the filename check would refuse a row's own names, by row
    // (DocumentSafety::rowProblems), kept up to date with `rows` by
    // reloadTable() and edited(); the table marks those rows.
    QMap<int, QString> rowProblems;
    // Why a read row needs an edge/text check, by row, as its read found
    // it; gone once the row is emptied, edited or read again.
    QMap<int, QList<EdgeReason>> edgeReasons;
    int activeGroup = 0;
    int activePage = 0;
    // Where the user last looked at each group's pages (zoom and position),
    // so that stepping through a group's rows keeps its title block in
    // place. Only places the user chose are kept.
    QMap<int, RegionView::Place> groupPlaces;
    // The outlines drawn on the shown page (at most two).
    QList<PageOutline> annotations;
    QPointer<QWidget> reviewPanel;

    // --- Review table lifetime (src/workspace/ReviewTableModel.cpp) ---------
    // Declared after the state and after `window`, so it ends first when
    // App is destroyed: the review model then drops a cell edit that the
    // window's own teardown commits, instead of writing to rows already gone.
    std::shared_ptr<const bool> tableOpen = std::make_shared<const bool>(true);

private:
    void applyLook();
    void buildWindow();
    void buildMenu();
    void buildRegionsMenu();
    void editCommand(const char* method);
    // The read task over `pages` with their `regions` (ReadFlow.cpp);
    // `skipped` no-text pages are named in the summary.
    void startRead(const QList<int>& pages, const QMap<int, PageRegions>& regions, int skipped);

    std::unique_ptr<Toolkit> m_toolkit;
    // Numbers the tasks; a progress update carries the number of the task
    // that made it and is dropped once another number is current. Written
    // on the main thread, read by report() on the worker.
    std::atomic<quint64> m_taskGeneration{0};
    // The latest progress not yet shown, and whether its delivery is
    // posted; guarded by m_reportLock.
    struct PendingReport
    {
        quint64 generation = 0;
        int done = 0;
        int total = 0;
        QString label;
    };
    std::mutex m_reportLock;
    std::optional<PendingReport> m_pendingReport;
    // A close request cancelled the running task: its end says that the
    // window can be closed now.
    bool m_closeWhenIdle = false;
};
