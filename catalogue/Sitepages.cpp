#include "catalogue/Sitepages.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QTimeZone>
#include <QUrl>
#include <algorithm>

#include "catalogue/Drawingconversion.h"
#include "drawing/Naturalorder.h"

namespace {
QString Html(const QString& text) { return text.toHtmlEscaped(); }

// A file name as a relative link.
QString Link(const QString& name) { return QString::fromLatin1(QUrl::toPercentEncoding(name)); }

// The path of a drawing's file from the site's folder.
QString SitePath(const TDrawingFacts& facts, const QString& kind)
{
    const QString name = facts.File(kind);
    if (name.isEmpty()) return QString();
    return TDrawingConversion::FolderOf(facts.Id) + QLatin1Char('/') + Link(name);
}

QString Counted(qsizetype n, const char* one, const char* many)
{
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

QString Head(const QString& title, const QString& root)
{
    return QStringLiteral(
               "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
               "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
               "<title>%1</title>\n<link rel=\"stylesheet\" href=\"%2site.css\">\n</head>\n")
        .arg(Html(title), root);
}

// The search box every page has: on the index it lists what it finds in the
// page; elsewhere under the box, and Enter opens the index with it.
QString SearchBox(const QString& root)
{
    return QStringLiteral(
               "<form class=\"search\" action=\"%1index.html\" role=\"search\">"
               "<input type=\"search\" name=\"q\" placeholder=\"Search parts, values, packages, nets, "
               "texts\" aria-label=\"Search all drawings\" autocomplete=\"off\" spellcheck=\"false\">"
               "<ol class=\"suggestions\" hidden></ol></form>\n")
        .arg(root);
}

// The index loads the drawings' data at once; a drawing's page only once
// its search box is used (the script loads it then).
QString Scripts(const QString& root, bool data)
{
    return (data ? QStringLiteral("<script src=\"%1search.js\"></script>\n").arg(root) : QString()) +
           QStringLiteral("<script src=\"%1site.js\"></script>\n").arg(root);
}

// "A4 · 6 components · 4 nets · 1 finding"
QString Summary(const TDrawingFacts& f)
{
    QStringList parts;
    if (!f.PageName.isEmpty()) parts << f.PageName;
    parts << Counted(qsizetype(f.Parts.size()), "component", "components");
    if (f.ConnectivityKnown) parts << Counted(qsizetype(f.Nets.size()), "net", "nets");
    if (f.Checked) parts << Counted(qsizetype(f.Findings.size()), "finding", "findings");
    return parts.join(QStringLiteral(" · "));
}

QString DamageNote(const TDrawingFacts& f)
{
    if (f.Status == TDrawingFacts::TStatus::Complete) return QString();
    const QString label =
        f.Status == TDrawingFacts::TStatus::Damaged ? QStringLiteral("Damaged") : QStringLiteral("Unreadable");
    return QStringLiteral("<p class=\"damage\"><strong>%1:</strong> %2</p>\n").arg(label, Html(f.Message));
}

QString BoxText(const QRect& r)
{
    return QStringLiteral("%1 %2 %3 %4").arg(r.left()).arg(r.top()).arg(r.right() + 1).arg(r.bottom() + 1);
}

QString PartsTable(const TDrawingFacts& f)
{
    QString html = QStringLiteral("<h2>Parts</h2>\n");
    if (f.Parts.empty()) return html + QStringLiteral("<p class=\"none\">No components.</p>\n");
    html += QStringLiteral(
        "<table class=\"parts\">\n<thead><tr><th>Designation</th><th>Value</th><th>Package</th>"
        "<th>Zone</th></tr></thead>\n<tbody>\n");
    for (const TPartFacts& p : f.Parts)
        html += QStringLiteral("<tr data-box=\"%1\" tabindex=\"0\"><td>%2</td><td>%3</td><td>%4</td><td>%5</td></tr>\n")
                    .arg(BoxText(p.Box), Html(p.Name), Html(p.Value), Html(p.Package), Html(p.Zone));
    return html + QStringLiteral("</tbody>\n</table>\n");
}

QString NetsList(const TDrawingFacts& f)
{
    if (!f.ConnectivityKnown) return QString();
    QString html = QStringLiteral("<h2>Nets</h2>\n");
    if (f.Nets.empty()) return html + QStringLiteral("<p class=\"none\">No nets.</p>\n");
    html += QStringLiteral("<ul class=\"nets\">\n");
    for (const TNetFacts& n : f.Nets) {
        QStringList wires, points;
        for (const QLine& w : n.Wires)
            wires << QStringLiteral("%1 %2 %3 %4").arg(w.x1()).arg(w.y1()).arg(w.x2()).arg(w.y2());
        for (const QPoint& p : n.Points) points << QStringLiteral("%1 %2").arg(p.x()).arg(p.y());
        html += QStringLiteral(
                    "<li tabindex=\"0\" data-wires=\"%1\" data-points=\"%2\"><span class=\"net\">%3</span> "
                    "<span class=\"pins\">%4</span></li>\n")
                    .arg(wires.join(QLatin1Char(',')), points.join(QLatin1Char(',')), Html(n.Name),
                         Html(n.Pins.join(QStringLiteral(", "))));
    }
    return html + QStringLiteral("</ul>\n");
}

QString FindingsList(const TDrawingFacts& f)
{
    if (!f.Checked) return QString();
    QString html = QStringLiteral("<h2>Findings</h2>\n");
    if (f.Findings.empty()) return html + QStringLiteral("<p class=\"none\">The check found nothing.</p>\n");
    html += QStringLiteral("<ul class=\"findings\">\n");
    for (const TFindingFacts& x : f.Findings)
        html += QStringLiteral(
                    "<li tabindex=\"0\" data-at=\"%1 %2\"><span class=\"zone\">%3</span> %4 "
                    "<code>[%5]</code></li>\n")
                    .arg(x.At.x())
                    .arg(x.At.y())
                    .arg(Html(x.Zone), Html(x.Message), Html(x.Kind));
    return html + QStringLiteral("</ul>\n");
}

QString FileLinks(const TDrawingFacts& f)
{
    static const std::pair<const char*, const char*> kinds[] = {{"png", "PNG picture"},
                                                                {"svg", "SVG drawing"},
                                                                {"pdf", "PDF page"},
                                                                {"netlist", "Netlist"},
                                                                {"kicad", "KiCad schematic"}};
    QStringList links;
    for (const auto& [kind, caption] : kinds) {
        const QString name = f.File(QLatin1String(kind));
        if (!name.isEmpty())
            links << QStringLiteral("<li><a href=\"%1\" download>%2</a></li>").arg(Link(name), QLatin1String(caption));
    }
    if (links.isEmpty()) return QString();
    return QStringLiteral("<ul class=\"files\">") + links.join(QString()) + QStringLiteral("</ul>\n");
}
}  // namespace

QByteArray TSitePages::DrawingPage(const TDrawingFacts& f)
{
    const QString root = QStringLiteral("../../");
    const QString svg = f.File(QStringLiteral("svg"));
    QString html = Head(f.Name + QStringLiteral(" · ") + f.Folder, root);
    html += QStringLiteral(
                "<body class=\"drawing\">\n<header class=\"bar\"><a class=\"home\" href=\"%1index.html\">"
                "All drawings</a>\n")
                .arg(root);
    html += SearchBox(root) + QStringLiteral("</header>\n<main>\n");
    html += QStringLiteral("<section class=\"viewer\" aria-label=\"The page\" data-width=\"%1\" data-height=\"%2\">\n")
                .arg(f.PageSize.width())
                .arg(f.PageSize.height());
    html += QStringLiteral("<div class=\"sheet\">");
    if (!svg.isEmpty())
        html += QStringLiteral("<img src=\"%1\" width=\"%2\" height=\"%3\" alt=\"The page of %4\" draggable=\"false\">")
                    .arg(Link(svg))
                    .arg(f.PageSize.width())
                    .arg(f.PageSize.height())
                    .arg(Html(f.Name));
    html += QStringLiteral(
                "<svg class=\"marks\" viewBox=\"0 0 %1 %2\" preserveAspectRatio=\"none\" "
                "xmlns=\"http://www.w3.org/2000/svg\"></svg></div>\n")
                .arg(f.PageSize.width())
                .arg(f.PageSize.height());
    html += QStringLiteral(
        "<div class=\"tools\"><button type=\"button\" data-zoom=\"in\" title=\"Zoom in\">+</button>"
        "<button type=\"button\" data-zoom=\"out\" title=\"Zoom out\">&#8722;</button>"
        "<button type=\"button\" data-zoom=\"fit\" title=\"Fit the page\">Fit</button></div>\n"
        "</section>\n");
    html += QStringLiteral("<aside class=\"facts\">\n<h1>%1</h1>\n<p class=\"folder\">%2</p>\n")
                .arg(Html(f.Name), Html(f.Folder));
    html += DamageNote(f);
    html += QStringLiteral("<p class=\"summary\">%1 · %2 × %3 pixels</p>\n")
                .arg(Html(Summary(f)))
                .arg(f.PageSize.width())
                .arg(f.PageSize.height());
    html += FileLinks(f) + PartsTable(f) + NetsList(f) + FindingsList(f);
    html += QStringLiteral("</aside>\n</main>\n") + Scripts(root, false) + QStringLiteral("</body>\n</html>\n");
    return html.toUtf8();
}

void TSitePages::Sort(std::vector<TSiteEntry>& entries)
{
    std::stable_sort(entries.begin(), entries.end(), [](const TSiteEntry& a, const TSiteEntry& b) {
        if (const int order = NaturalCompare(a.Facts.Folder.toUtf8(), b.Facts.Folder.toUtf8())) return order < 0;
        if (const int order = NaturalCompare(a.Facts.Name.toUtf8(), b.Facts.Name.toUtf8())) return order < 0;
        return a.Facts.Path < b.Facts.Path;
    });
}

QByteArray TSitePages::IndexPage(const std::vector<TSiteEntry>& entries)
{
    qsizetype folders = 0, damaged = 0, unreadable = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (i == 0 || entries[i].Facts.Folder != entries[i - 1].Facts.Folder) ++folders;
        if (entries[i].Facts.Status == TDrawingFacts::TStatus::Damaged) ++damaged;
        if (entries[i].Facts.Status == TDrawingFacts::TStatus::Unreadable) ++unreadable;
    }
    QString count = Counted(qsizetype(entries.size()), "drawing", "drawings") + QStringLiteral(" in ") +
                    Counted(folders, "folder", "folders");
    if (damaged) count += QStringLiteral(", %1 damaged").arg(damaged);
    if (unreadable) count += QStringLiteral(", %1 unreadable").arg(unreadable);

    QString html = Head(QStringLiteral("Drawings"), QString());
    html += QStringLiteral(
                "<body class=\"index\">\n<header class=\"bar\"><h1><a class=\"home\" href=\"index.html\">"
                "Drawings</a></h1>\n") +
            SearchBox(QString()) + QStringLiteral("</header>\n<main>\n");
    html += QStringLiteral(
                "<div class=\"controls\"><p class=\"count\">%1</p><p class=\"sort\">Sort by "
                "<button type=\"button\" data-sort=\"name\" aria-pressed=\"true\">name</button>"
                "<button type=\"button\" data-sort=\"date\" aria-pressed=\"false\">date</button></p></div>\n")
                .arg(Html(count));
    html += QStringLiteral(
        "<noscript><p class=\"damage\">The list of drawings and the search need JavaScript."
        "</p></noscript>\n");
    html += QStringLiteral(
        "<section class=\"found\" hidden><h2 class=\"found-count\"></h2><ol class=\"hits\"></ol>"
        "<button type=\"button\" class=\"more-hits\" hidden></button></section>\n"
        "<div class=\"folders\">\n");
    // A section per folder; the script fills in its cards from the search
    // index (entries first to first + count - 1) as it comes into view, so
    // that the index of a large archive opens at once.
    for (std::size_t i = 0, first = 0; i < entries.size(); ++i) {
        if (i + 1 < entries.size() && entries[i + 1].Facts.Folder == entries[i].Facts.Folder) continue;
        html += QStringLiteral(
                    "<section class=\"folder\" data-first=\"%1\" data-count=\"%2\"><h2>%3</h2>"
                    "<ul class=\"cards\"></ul></section>\n")
                    .arg(first)
                    .arg(i + 1 - first)
                    .arg(Html(entries[i].Facts.Folder));
        first = i + 1;
    }
    html += QStringLiteral("</div>\n</main>\n") + Scripts(QString(), true) + QStringLiteral("</body>\n</html>\n");
    return html.toUtf8();
}

QByteArray TSitePages::SearchData(const std::vector<TSiteEntry>& entries)
{
    // One line per drawing, in the index's order: [page, name, folder,
    // thumbnail, status (0 complete, 1 damaged, 2 unreadable), message,
    // summary, time of last change (ms since 1970), terms]; the terms are
    // one text: a line "designation TAB value TAB package" per part, then
    // after a record separator (U+001E) a line per net, then after another
    // one a line per text. A browser reads a few long texts far faster than
    // many short ones.
    QByteArray data = "// The drawings of the archive, for the index and the search.\nvar TRACERY_DRAWINGS = [\n";
    const auto clean = [](QString text) {
        for (QChar& c : text)
            if (c < QChar(0x20)) c = QChar(u' ');
        return text;
    };
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const TDrawingFacts& f = entries[i].Facts;
        QStringList parts, nets, texts;
        for (const TPartFacts& p : f.Parts)
            parts << clean(p.Name) + QLatin1Char('\t') + clean(p.Value) + QLatin1Char('\t') + clean(p.Package);
        // Nets named after a pin would find every part again.
        for (const TNetFacts& n : f.Nets)
            if (n.Named) nets << clean(n.Name);
        QSet<QString> seen;
        for (const QString& t : f.Texts)
            if (!seen.contains(t)) {
                seen.insert(t);
                texts << clean(t);
            }
        const QString terms = parts.join(QLatin1Char('\n')) + QChar(0x1E) + nets.join(QLatin1Char('\n')) + QChar(0x1E) +
                              texts.join(QLatin1Char('\n'));
        const int status = f.Status == TDrawingFacts::TStatus::Complete  ? 0
                           : f.Status == TDrawingFacts::TStatus::Damaged ? 1
                                                                         : 2;
        const QJsonArray entry{SitePath(f, QStringLiteral("page")),
                               f.Name,
                               f.Folder,
                               SitePath(f, QStringLiteral("thumbnail")),
                               status,
                               f.Message,
                               f.Status == TDrawingFacts::TStatus::Unreadable ? QString() : Summary(f),
                               qint64(entries[i].Modified),
                               terms};
        data += QJsonDocument(entry).toJson(QJsonDocument::Compact);
        data += i + 1 < entries.size() ? ",\n" : "\n";
    }
    data += "];\n";
    return data;
}
