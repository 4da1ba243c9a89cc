#pragma once
// The archive site's pages, made from what is known of each drawing:
//
//   index.html              every drawing as a card, grouped by folder
//   search.js               the data of every drawing that the index's cards
//                           show and the search box looks through, as a
//                           script, so that it loads from file:// where a
//                           page may not read files
//   drawings/ID/NAME.html   one page per drawing
//
// Every page loads the shared style and script ("site.css", "site.js",
// catalogue/Siteassets) and the search index by a path relative to itself,
// so the site works from any folder, a file share or a web server, and
// refers to nothing outside it. A drawing's page reads without its script,
// which adds the zoom, the outlines and the search; the index's cards are
// made by the script, folder by folder as they come into view.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

#include "catalogue/Drawingfacts.h"

// A drawing as the index lists it.
struct TSiteEntry {
    TDrawingFacts Facts;
    std::int64_t Modified = 0;  // milliseconds since 1970, UTC
};

class TSitePages {
public:
    // The drawing's own page (in its folder drawings/ID/).
    static QByteArray DrawingPage(const TDrawingFacts& facts);
    // Puts the entries in the index's order: by folder in natural order of
    // their paths (R2 before R10), then by name.
    static void Sort(std::vector<TSiteEntry>& entries);
    // The index of the entries, which are in the index's order.
    static QByteArray IndexPage(const std::vector<TSiteEntry>& entries);
    // The data of the entries, in the same order.
    static QByteArray SearchData(const std::vector<TSiteEntry>& entries);
};
