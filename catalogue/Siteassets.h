#pragma once
// The style and the script every page of the archive site shares, written
// into the site's folder beside the index ("site.css", "site.js"). They are
// our own, small and with no framework: the site needs no network.

#include <QByteArray>
#include <QString>
#include <utility>
#include <vector>

class TSiteAssets {
public:
    // Each file's name in the site and its bytes.
    static const std::vector<std::pair<QString, QByteArray>>& Files();
};
