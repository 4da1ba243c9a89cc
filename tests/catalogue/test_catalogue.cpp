// The archive site (tracery --catalogue=OUT): the program run on a generated
// archive, its pages opened in a real browser from file://, incremental runs
// and shards.
#include "Browser.h"
#include "Programrun.h"
#include "StubSettings.h"

#include <QDirIterator>
#include <QJsonArray>
#include <QProcess>
#include <QUrl>
#include <map>
#include <sys/stat.h>

#include "Q01Component.h"
#include "catalogue/Archivewalk.h"
#include "catalogue/Catalogue.h"

namespace {
// A part of one outline body (41 x 21 pixels), no pins.
q01::Bytes Part(const std::string& designation, const std::string& value, const std::string& package, std::uint16_t x,
                std::uint16_t y)
{
    q01::Component c;
    c.designation = designation;
    c.valueText = value;
    c.packageText = package;
    c.anchorX = x, c.anchorY = y;
    c.designationX = x, c.designationY = std::uint16_t(y - 20);
    c.valueX = x, c.valueY = std::uint16_t(y + 30);
    c.parts.assign(1, q01::ComponentPart{0, 4, 2});
    return q01::ComponentRecord(c);
}

// Every file below a folder (relative path) with its bytes.
std::map<QString, QByteArray> Tree(const QString& folder)
{
    std::map<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        files[QDir(folder).relativeFilePath(path)] = f.readAll();
    }
    return files;
}

// Every file's time of last change, in nanoseconds.
std::map<QString, long long> Times(const QString& folder)
{
    std::map<QString, long long> times;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        struct stat info {};
        const QString path = it.next();
        ::stat(QFile::encodeName(path).constData(), &info);
        times[QDir(folder).relativeFilePath(path)] = info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec;
    }
    return times;
}

// Sets a file's time of last change (seconds since 1970).
void Touch(const QString& path, long long seconds)
{
    const timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0);
}

QString Json(const QJsonValue& value)
{
    return QString::fromUtf8(QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact)).mid(1).chopped(1);
}
}  // namespace

class CatalogueTest : public ProgramRunTest {
protected:
    // The archive: drawings in nested folders (the bundled sample first),
    // one of them damaged, a link
    // round to the archive's own folder, a second name for a drawing, a
    // hidden folder and a file that is no drawing.
    void MakeArchive()
    {
        QDir(dir.path()).mkpath("archive/2019/Old");
        QDir(dir.path()).mkpath("archive/2020");
        QDir(dir.path()).mkpath("archive/.hidden");
        QFile::copy(TRACERY_SOURCE_DIR "/samples/amp.q01", Path("archive/amp.q01"));
        Write("archive/2019/filter.q01",
              Cat({q01::Header(1), Part("R10", "0805", "4k7", 900, 500), Part("U1", "LM741", "DIP8", 300, 200),
                   Part("R2", "0805", "1k", 200, 600), Part("C1", "100n", "0603", 1200, 300)}));
        Write("archive/2019/Old/Sheet 14.Q01",
              Cat({q01::Header(0), q01::DocBox(800, 560, 1080, 690, {"PRODUCT X", "SHEET 14 OF 20"}),
                   Part("C1", "100n", "0603", 400, 400)}));
        Write("archive/2020/power.q01",
              Cat({q01::Header(2), Part("U1", "LM7805", "TO220", 700, 400), q01::Annotation(800, 380, 1, "+5V"),
                   q01::Line(1000, 1000, 1100, 1000, 1)}));
        q01::Bytes broken = Cat({q01::Header(0), Part("U9", "X", "Y", 100, 100)});
        broken.resize(broken.size() - 10);
        Write("archive/2020/broken.q01", broken);
        Write("archive/.hidden/secret.q01", q01::Header(0));
        Write("archive/notes.txt", {'h', 'i'});
        QFile::link("..", Path("archive/2020/loop"));
        QFile::link("../amp.q01", Path("archive/2020/amp-link.q01"));
        Touch(Path("archive/2020/broken.q01"), 1600000000);
        Touch(Path("archive/2020/power.q01"), 1700000000);
    }

    // A catalogue of an archive takes longer than most runs.
    RunResult Run(const QStringList& args) { return ProgramRunTest::Run(args, {}, 120); }

    QString Url(const QString& page) const { return QUrl::fromLocalFile(Path(page)).toString(); }
    static QString DrawingFolder(const QString& path)
    {
        return QStringLiteral("site/drawings/") + TArchiveWalk::DrawingId(path) + QLatin1Char('/');
    }
};

TEST_F(CatalogueTest, SiteOfAnArchiveWorksInABrowserFromFiles)
{
    MakeArchive();
    const RunResult r = Run({"--catalogue=site", "archive"});
    EXPECT_EQ(r.status, 1);  // one drawing is damaged
    EXPECT_EQ(r.err,
              "archive/2020/broken.q01: The record at 00000010 (type 70) is cut short by the end of the file; "
              "the drawing is shown up to it.\n");

    THeadlessBrowser browser;
    ASSERT_TRUE(browser.Started());
    // The index: every drawing once, by folder, the damaged one marked.
    ASSERT_TRUE(browser.Open(Url("site/index.html")));
    const QString folders =
        "Array.from(document.querySelectorAll('section.folder')).map(s => [s.querySelector('h2').textContent,"
        " Array.from(s.querySelectorAll('.card')).map(c => c.querySelector('.name').textContent +"
        " (c.querySelector('.damage') ? ' | ' + c.querySelector('.damage').textContent : ''))])";
    EXPECT_EQ(Json(browser.Evaluate(folders)),
              R"([["archive",["amp.q01"]],["archive/2019",["filter.q01"]],["archive/2019/Old",["Sheet 14.Q01"]],)"
              R"(["archive/2020",["broken.q01 | Damaged: The record at 00000010 (type 70) is cut short by the end )"
              R"(of the file; the drawing is shown up to it.","power.q01"]]])");
    EXPECT_EQ(browser.Evaluate("document.querySelector('.count').textContent").toString(),
              "5 drawings in 4 folders, 1 damaged");
    EXPECT_EQ(
        browser.Evaluate("Array.from(document.querySelectorAll('.card .meta')).map(m => m.textContent).join('; ')")
            .toString(),
        "A4 · 6 components · 6 nets · 0 findings; A3 · 4 components · 0 nets · 0 findings; "
        "A4 · 1 component · 0 nets · 0 findings; A4 · 0 components · 0 nets · 0 findings; "
        "A2 · 1 component · 0 nets · 2 findings");
    // Sorted by date, the newest first.
    EXPECT_EQ(Json(browser.Evaluate("document.querySelector('[data-sort=date]').click();"
                                    "Array.from(document.querySelectorAll('section.folder:last-child .name'))"
                                    ".map(n => n.textContent)")),
              R"(["power.q01","broken.q01"])");

    // A search shared as a link: exactly the drawings that use an LM741,
    // with what matched.
    ASSERT_TRUE(browser.Open(Url("site/index.html") + "?q=LM741"));
    EXPECT_EQ(Json(browser.Evaluate(
                  "Array.from(document.querySelectorAll('.hit')).map(h =>"
                  " h.querySelector('.name').textContent + ': ' + h.querySelector('.matches').textContent)")),
              R"(["amp.q01: U1 package LM741","filter.q01: U1 value LM741"])");
    EXPECT_EQ(browser.Evaluate("document.querySelector('.found-count').textContent").toString(),
              "2 drawings match \u201cLM741\u201d");

    // A drawing's page: its SVG, fitted; its parts in designation order; a
    // click outlines the part; its files beside it.
    const QString filter = DrawingFolder("archive/2019/filter.q01");
    ASSERT_TRUE(browser.Open(Url(filter + "filter.html")));
    EXPECT_EQ(
        Json(browser.Evaluate("var img = document.querySelector('.sheet img'), v = document.querySelector('.viewer')"
                              ".getBoundingClientRect(), s = document.querySelector('.sheet').getBoundingClientRect();"
                              "[img.getAttribute('src'), img.naturalWidth, img.naturalHeight,"
                              " s.left >= v.left && s.right <= v.right && s.top >= v.top && s.bottom <= v.bottom,"
                              " Math.abs((s.left - v.left) - (v.right - s.right)) < 2 || Math.abs((s.top - v.top) - "
                              "(v.bottom - s.bottom)) < 2]")),
        R"(["filter.svg",1550,1110,true,true])");
    EXPECT_EQ(Json(browser.Evaluate("Array.from(document.querySelectorAll('.parts tbody tr')).map(r =>"
                                    " Array.from(r.cells).map(c => c.textContent).join(' '))")),
              R"(["C1 100n 0603 B4","R2 0805 1k C1","R10 0805 4k7 B3","U1 LM741 DIP8 A1"])");
    EXPECT_EQ(
        Json(browser.Evaluate("var row = document.querySelectorAll('.parts tbody tr')[3]; row.click();"
                              "var m = document.querySelector('.marks rect');"
                              "[row.dataset.box, ['x', 'y', 'width', 'height'].map(a => m.getAttribute(a)).join(' '),"
                              " row.classList.contains('selected')]")),
        R"(["300 200 342 222","297 197 48 28",true])");
    EXPECT_EQ(
        Json(browser.Evaluate("Array.from(document.querySelectorAll('.files a')).map(a => a.getAttribute('href'))")),
        R"(["filter.png","filter.svg","filter.pdf","filter.net","filter.kicad_sch"])");
    // The search box as one types: every word must match.
    // (The page loads the drawings' data when its box is first used.)
    EXPECT_EQ(Json(browser.Evaluate("new Promise(done => { var box = document.querySelector('.search input');"
                                    " var list = document.querySelector('.suggestions'); box.value = 'sheet 14';"
                                    " box.dispatchEvent(new Event('input')); var wait = setInterval(() => {"
                                    " if (!list.hidden) { clearInterval(wait); done(Array.from(list.children)"
                                    ".map(l => l.textContent)); } }, 20); })")),
              R"(["Sheet 14.Q01 text SHEET 14 OF 20 · file Sheet 14.Q01","All 1 drawing in the index"])");

    // The sample's nets: a click on one outlines its wires and pin ends.
    const QString amp = DrawingFolder("archive/amp.q01");
    ASSERT_TRUE(browser.Open(Url(amp + "amp.html")));
    EXPECT_EQ(Json(browser.Evaluate(
                  "var net = Array.from(document.querySelectorAll('.nets li')).find(n => n.querySelector('.net')"
                  ".textContent === 'VOUT'); net.click(); [net.textContent, document.querySelectorAll('.marks line')"
                  ".length, document.querySelectorAll('.marks circle').length]")),
              R"(["VOUT C1 pin 2, R2 pin 1, U1 pin 6, U2 pin 3",8,4])");

    // The check's findings, with their zones; a click marks the place.
    const QString power = DrawingFolder("archive/2020/power.q01");
    ASSERT_TRUE(browser.Open(Url(power + "power.html")));
    EXPECT_EQ(Json(browser.Evaluate("var items = document.querySelectorAll('.findings li'); items[1].click();"
                                    "var m = document.querySelector('.marks circle');"
                                    "[Array.from(items).map(i => i.textContent).join('; '), m.getAttribute('cx'),"
                                    " m.getAttribute('cy')]")),
              R"(["C2 wire end at 1000,1000 is not connected [dangling-wire]; C2 wire end at 1100,1000 is not )"
              R"(connected [dangling-wire]","1100.5","1000.5"])");

    // Every page refers only to files of the site, which are there; the
    // console stayed clean.
    const QString site = Url("site") + "/";
    for (const QString& page :
         {QString("site/index.html"), filter + "filter.html", amp + "amp.html", power + "power.html"}) {
        ASSERT_TRUE(browser.Open(Url(page)));
        const QJsonArray links =
            browser
                .Evaluate(
                    "Array.from(document.querySelectorAll('a[href], img[src], script[src], link[href]'))"
                    ".map(e => e.href || e.src)")
                .toArray();
        EXPECT_GE(links.size(), 7);  // the style, the scripts, the pictures and the files at least
        for (const QJsonValue& link : links) {
            const QUrl url(link.toString());
            EXPECT_TRUE(link.toString().startsWith(site) && QFileInfo(url.toLocalFile()).isFile())
                << link.toString().toStdString();
        }
    }
    for (const QString& request : browser.Requests)
        EXPECT_TRUE(request.startsWith(site) || request == "about:blank") << request.toStdString();
    EXPECT_TRUE(browser.Problems.isEmpty()) << browser.Problems.join('\n').toStdString();

    // The page picture, the SVG, the netlist and the KiCad schematic are
    // those --batch writes.
    ASSERT_EQ(Run({"--batch", "--png", "--svg", "--netlist", "--kicad", "--out=batch", "archive/amp.q01"}).status, 0);
    for (const char* file : {"amp.png", "amp.svg", "amp.net", "amp.kicad_sch"})
        EXPECT_EQ(ReadAll(Path(amp + file)), ReadAll(Path(QStringLiteral("batch/") + file))) << file;
    EXPECT_TRUE(ReadAll(Path(amp + "amp.pdf")).startsWith("%PDF-"));
}

TEST_F(CatalogueTest, SecondRunsConvertOnlyWhatChangedAndDropWhatIsGone)
{
    QDir(dir.path()).mkpath("archive/sub");
    Write("archive/a.q01", Cat({q01::Header(0), Part("R1", "0805", "10k", 300, 300)}));
    Write("archive/b.q01", Cat({q01::Header(0), Part("U1", "OPAMP", "LM741", 300, 300)}));
    Write("archive/sub/c.q01", Cat({q01::Header(1), Part("C1", "100n", "0603", 300, 300)}));
    Write("archive/sub/d.q01", q01::Header(2));
    StubSettings settings(true);
    const auto run = [&] {
        TCatalogueOptions options;
        options.Out = Path("site");
        options.Paths = QStringList{Path("archive")};
        options.Progress = TCatalogueOptions::TProgress::Hidden;
        return TCatalogue(options, settings.settings).Run();
    };
    TCatalogueRun first = run();
    EXPECT_EQ(first.Status, 0);
    EXPECT_EQ(first.Converted, 4);
    // Every file's time put back, so that a file written again shows.
    for (const auto& [file, time] : Times(Path("site"))) Touch(Path("site/" + file), 1000000000);
    const std::map<QString, QByteArray> before = Tree(Path("site"));

    // Nothing changed: only the index is written again, the same.
    TCatalogueRun unchanged = run();
    EXPECT_EQ(unchanged.Converted, 0);
    EXPECT_EQ(unchanged.Drawings, 4);
    QStringList written;
    for (const auto& [file, time] : Times(Path("site")))
        if (time != 1000000000LL * 1000000000LL) written << file;
    EXPECT_EQ(written, QStringList({"index.html", "search.js"}));
    EXPECT_EQ(Tree(Path("site")), before);

    // b changed, c removed, e added: b and e are converted, c leaves the
    // site, a and d are left as they were.
    Write("archive/b.q01", Cat({q01::Header(0), Part("U1", "OPAMP", "TL071", 300, 300)}));
    QFile::remove(Path("archive/sub/c.q01"));
    Write("archive/sub/e.q01", Cat({q01::Header(0), Part("U5", "LM741", "SO8", 300, 300)}));
    TCatalogueRun changed = run();
    EXPECT_EQ(changed.Converted, 2);
    EXPECT_EQ(changed.Removed, 1);
    EXPECT_EQ(changed.Status, 0);
    const QString c = "drawings/" + TArchiveWalk::DrawingId(Path("archive/sub/c.q01"));
    EXPECT_FALSE(QFileInfo::exists(Path("site/" + c)));
    const std::map<QString, QByteArray> after = Tree(Path("site"));
    const std::map<QString, long long> times = Times(Path("site"));
    for (const QString& kept : {Path("archive/a.q01"), Path("archive/sub/d.q01")}) {
        const QString folder = "drawings/" + TArchiveWalk::DrawingId(kept) + "/";
        int files = 0;
        for (const auto& [file, time] : times)
            if (file.startsWith(folder)) {
                ++files;
                EXPECT_EQ(time, 1000000000LL * 1000000000LL) << file.toStdString();
                EXPECT_EQ(after.at(file), before.at(file)) << file.toStdString();
            }
        EXPECT_EQ(files, 8);
    }
    const QByteArray search = after.at("search.js");
    EXPECT_TRUE(search.contains("U1\\tOPAMP\\tTL071") && search.contains("U5\\tLM741\\tSO8"));
    EXPECT_FALSE(search.contains("OPAMP\\tLM741") || search.contains("0603"));
    EXPECT_EQ(search.count("drawings/"), 8);  // the page and thumbnail of a, b, d and e
}

TEST_F(CatalogueTest, TwoShardsJoinedGiveTheSiteOfOneRun)
{
    MakeArchive();
    ASSERT_EQ(Run({"--catalogue=one", "archive"}).status, 1);
    const RunResult first = Run({"--catalogue=site", "--shard=1/2", "archive"});
    const int shardOne = int(QDir(Path("site/drawings")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
    const RunResult second = Run({"--catalogue=site", "--shard=2/2", "archive"});
    // Each shard converts its own drawings and writes no index.
    EXPECT_FALSE(QFileInfo::exists(Path("site/index.html")));
    EXPECT_EQ(first.err + second.err,
              "archive/2020/broken.q01: The record at 00000010 (type 70) is cut short by "
              "the end of the file; the drawing is shown up to it.\n");
    EXPECT_EQ(first.status + second.status, 1);
    EXPECT_GT(shardOne, 0);
    EXPECT_LT(shardOne, 5);
    const std::map<QString, long long> converted = Times(Path("site"));

    // The join converts nothing and writes the index.
    EXPECT_EQ(Run({"--catalogue=site", "archive"}).status, 1);
    std::map<QString, long long> joined = Times(Path("site"));
    for (const auto& [file, time] : converted) EXPECT_EQ(joined.at(file), time) << file.toStdString();
    const std::map<QString, QByteArray> a = Tree(Path("one")), b = Tree(Path("site"));
    QStringList names, others;
    for (const auto& [file, bytes] : a) names << file;
    for (const auto& [file, bytes] : b) others << file;
    EXPECT_EQ(names, others);
    EXPECT_EQ(names.size(), 4 + 5 * 8);  // index, search index, style, script; eight files per drawing
    for (const auto& [file, bytes] : a) {
        if (!file.endsWith(".pdf") && b.count(file)) {
            EXPECT_EQ(bytes, b.at(file)) << file.toStdString();
        }
    }

    // Mistakes on the command line, and a site that cannot be written.
    Write("plain", {'x'});
    RunResult r = Run({"--catalogue=plain/site", "archive"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "Cannot create the folder 'plain/site'\n");
    r = Run({"--catalogue=site", "--shard=3/2", "archive"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "Parameter 'shard=3/2' needs a part of the archive, as in --shard=1/4\n");
    r = Run({"--catalogue=site"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "usage: tracery --catalogue=OUT [--shard=K/N] PATH...\n");
}
