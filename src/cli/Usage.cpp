#include "Usage.h"

QString Usage::tool()
{
    return QStringLiteral(
        "Usage: planfolio-cli COMMAND FILE [OPTIONS]\n"
        "\n"
        "Splits a PDF drawing set into single-sheet PDFs named from the text in\n"
        "its title blocks, with the same checks and messages as the window.\n"
        "\n"
        "Commands:\n"
        "  inspect FILE                         page count, geometry groups, pages without text\n"
        "  words   FILE --page N                the words of one page with their boxes\n"
        "  read    FILE --regions REGIONS.json [--pages LIST] [--fill-from-bookmarks]\n"
        "                                       read sheet numbers and titles\n"
        "  export  FILE --rows ROWS.json --into PARENT\n"
        "                                       write one PDF per row and register.csv\n"
        "  split   FILE --regions REGIONS.json --into PARENT [--accept-warnings]\n"
        "                                       read every page, then export\n"
        "  suggest FILE                         suggest number and title regions as REGIONS.json\n"
        "\n"
        "Pages and groups are numbered from 1. Rectangles are [x, y, width, height]\n"
        "in PDF points in each page's own unrotated space (y up), the space the\n"
        "words command reports boxes in. Results are JSON on stdout.\n"
        "\n"
        "Exit status: 0 success, 1 refused input or failed work, 2 usage error,\n"
        "130 interrupted (Ctrl-C; 143 for SIGTERM). An interrupted or failed export\n"
        "leaves nothing behind.\n"
        "\n"
        "Run 'planfolio-cli COMMAND --help' for a command's details, and\n"
        "'planfolio-cli --version' for the version.\n");
}

QString Usage::command(const QString& name)
{
    if (name == QLatin1String("inspect"))
        return QStringLiteral("Usage: planfolio-cli inspect FILE\n"
                              "\n"
                              "Opens FILE as the window does (size, admission, grouping, text check) and\n"
                              "prints:\n"
                              "  {\"pages\": 14,\n"
                              "   \"groups\": [{\"group\": 1, \"description\": \"Group 1 \u00B7 9 pages "
                              "\u00B7 ...\", \"pages\": [1, 2, 4]}],\n"
                              "   \"pagesWithoutText\": [9]}\n");
    if (name == QLatin1String("words"))
        return QStringLiteral(
            "Usage: planfolio-cli words FILE --page N\n"
            "\n"
            "Prints the words of page N with their boxes, in the space regions use:\n"
            "  {\"page\": 3, \"words\": [{\"text\": \"A-101\", \"box\": [x, y, width, height]}]}\n"
            "A box (grown a little) can be used as a region in REGIONS.json.\n");
    if (name == QLatin1String("read"))
        return QStringLiteral(
            "Usage: planfolio-cli read FILE --regions REGIONS.json [--pages LIST] [--fill-from-bookmarks]\n"
            "\n"
            "Reads the sheet number and title of every page (or of the pages in LIST,\n"
            "such as 1-5,9) from its regions. REGIONS.json:\n"
            "  {\"groups\": {\"1\": {\"number\": [x, y, w, h], \"title\": [x, y, w, h]}},\n"
            "   \"pages\":  {\"12\": {\"number\": [x, y, w, h], \"title\": [x, y, w, h]}}}\n"
            "A page entry replaces its group's regions for that page. Pages without\n"
            "text, and pages the file gives no regions, are skipped. Prints:\n"
            "  {\"rows\": [{\"page\": 1, \"number\": \"A-001\", \"title\": \"COVER SHEET\", \"warning\": "
            "false,\n"
            "              \"warningReasons\": []}],\n"
            "   \"skipped\": [9], \"skippedReasons\": {\"9\": \"no text\"}}\n"
            "\"warning\" marks a page that needs an edge/text check: the region cuts\n"
            "through text, or other text lies within 2 pt outside it; \"warningReasons\"\n"
            "says which text and which edge. A skipped page's reason is \"no text\" or\n"
            "\"no regions\". \"outlinedText\": true\n"
            "marks a page whose empty region shows drawn text the PDF carries no text\n"
            "for (the top-level \"outlinedText\" lists every such page, skipped ones\n"
            "too). When the set's bookmarks name sheets (\"A-101 - Floor Plan\"), each\n"
            "row gives its \"bookmark\" (or null) and whether it agrees with the read.\n"
            "--fill-from-bookmarks names the pages without text from their bookmarks\n"
            "(rows marked \"filledFromBookmark\") and counts them in\n"
            "\"filledFromBookmarks\".\n");
    if (name == QLatin1String("export"))
        return QStringLiteral("Usage: planfolio-cli export FILE --rows ROWS.json --into PARENT\n"
                              "\n"
                              "Writes one single-page PDF per row, named \"NUMBER - TITLE.pdf\", and\n"
                              "register.csv into a new folder Planfolio-<UUID> inside PARENT. ROWS.json\n"
                              "has the shape the read command prints (edit names there as needed).\n"
                              "Prints:\n"
                              "  {\"folder\": \"/abs/path/Planfolio-<UUID>\", \"files\": 14}\n"
                              "On any failure or interruption the new folder is removed.\n");
    if (name == QLatin1String("split"))
        return QStringLiteral(
            "Usage: planfolio-cli split FILE --regions REGIONS.json --into PARENT [--accept-warnings]\n"
            "\n"
            "Reads every page with REGIONS.json (see 'read --help'), then exports as\n"
            "'export' does and prints what it prints. Refused when a page has no\n"
            "text (name those pages with read and export instead), and when a page\n"
            "needs an edge/text check unless --accept-warnings is given, which\n"
            "exports such pages as read.\n");
    if (name == QLatin1String("suggest"))
        return QStringLiteral(
            "Usage: planfolio-cli suggest FILE\n"
            "\n"
            "Finds the sheet number and title of each geometry group from its text\n"
            "layer (no OCR): the number is the text at the same place on the group's\n"
            "pages that changes from page to page and looks like a sheet number, the\n"
            "title the text block next to it. Prints them as REGIONS.json for read\n"
            "and split, each group with its page layout so the file also fits later\n"
            "sets with the same layouts:\n"
            "  {\"groups\": {\"1\": {\"number\": [x, y, w, h], \"title\": [x, y, w, h],\n"
            "                    \"layout\": {\"mediaBox\": [...], \"cropBox\": [...], \"rotation\": 0}}},\n"
            "   \"pages\": {}}\n"
            "Groups where nothing is found are left out and named on stderr. Check\n"
            "the names read with these regions before exporting.\n");
    return QString();
}
