// tracery_bench: figures for a dense A0 sheet, headless.
//
//   tracery_bench [--runs N] [--keep DIR] [--breakdown]
//   tracery_bench --catalogue COUNT [--keep DIR]
//
// Generates the sheet with the drawing-file builder (2,000 components of 20
// pins, 20,000 lines, 5,000 junctions, 1,000 annotations, 50 document boxes
// of 10 lines, 500 markers), loads it into a main window with every settings
// window present, and prints the median of N runs (default 7) of each step in
// milliseconds and as a ratio to its baseline, then the peak memory. The
// comparison rows compare the sheet, as tracery --diff does without writing
// the picture, with an identical copy and with a copy in which ten
// components were moved or given another value.
// The connectivity row builds the nets of the loaded sheet (the first step
// of --netlist and --check).
// The command-line rows run the program itself with --batch, with no
// display, on the sheet and on an empty A0 sheet: the fastest of N runs (at
// least 5).
// --keep DIR writes the sheet and the exports there instead of a temporary
// folder; --breakdown also prints one paint's time by object class.
//
// --catalogue COUNT instead generates an archive of COUNT sheets (q01gen
// archive: A4 to A0) and times tracery --catalogue on it, as a user runs it:
// the first run, a second run with nothing changed, and a run after one
// sheet changed, each once; then, when Chromium is installed, the time the
// index takes to open in it and to answer a search.

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRegion>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextStream>
#include <QUrl>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <limits>
#include <map>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <typeinfo>
#include <unistd.h>
#include <vector>

#include "Browser.h"
#include "Q01Archive.h"
#include "Q01Builder.h"
#include "Q01DenseSheet.h"
#include "app/Comparecommand.h"
#include "app/Pageimage.h"
#include "app/Quorvprint.h"
#include "app/Startup.h"
#include "app/Surface.h"
#include "app/Tracerywin.h"
#include "base/Parallel.h"
#include "drawing/Bitmap.h"
#include "drawing/Connectivity.h"
#include "drawing/Drawing.h"
#include "drawing/Objectsettings.h"
#include "drawing/Quorvidobject.h"
#include "exports/Drawingoutputs.h"
#include "exports/Schematicsheet.h"
#include "render/Areareduction.h"
#include "render/Vectortarget.h"
#include "settings/Bitmapwin.h"
#include "settings/Inifile.h"
#include "ui/Dialogs.h"

#if __has_include("app/Preview.h")
#include "app/Preview.h"
#define TRACERY_BENCH_HAS_PREVIEW 1
#endif
#if __has_include("render/Pngwriter.h")
#include "render/Pngwriter.h"
#define TRACERY_BENCH_HAS_PNG_WRITER 1
#endif
#if __has_include("drawing/Debugbmp.h")
#include "drawing/Debugbmp.h"
#define TRACERY_BENCH_HAS_INSPECTOR 1
#endif

namespace {

// Every dialog answered as cancelled, except the font dialog, which returns
// the font set here (a pin font change in the component settings window).
class BenchDialogs : public TBatchDialogs {
public:
    std::optional<TFont> ChooseFont(const TFont&) override { return Font; }
    void ShowMessage(const QString& text) override { std::fprintf(stderr, "message: %s\n", qPrintable(text)); }
    TFont Font;
};

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n == 0 ? 0 : (n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2);
}

// Median over runs of one call's time in milliseconds; `prepare` runs before
// each timed call and is not timed.
double Measure(int runs, const std::function<void()>& step, const std::function<void()>& prepare = {})
{
    std::vector<double> times;
    for (int r = 0; r < runs; ++r) {
        if (prepare) prepare();
        QElapsedTimer timer;
        timer.start();
        step();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    return Median(times);
}

// The same in processor time of all the process's threads: what a step
// costs whatever else the machine runs.
double MeasureCpu(int runs, const std::function<void()>& step, const std::function<void()>& prepare = {})
{
    const auto now = [] {
        timespec t{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
    };
    std::vector<double> times;
    for (int r = 0; r < runs; ++r) {
        if (prepare) prepare();
        const double start = now();
        step();
        times.push_back(now() - start);
    }
    return Median(times);
}

// A field of /proc/self/smaps_rollup in KiB (-1 where there is none).
long RollupKiB(const QByteArray& field)
{
    QFile rollup(QStringLiteral("/proc/self/smaps_rollup"));
    if (!rollup.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : rollup.readAll().split('\n'))
        if (line.startsWith(field + ':')) return line.mid(field.size() + 1).trimmed().split(' ').first().toLong();
    return -1;
}

long PeakMemoryKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

// View > Preview of a page: the 2 x 2 rule, by the preview window's own code
// where the tree has it.
TSurface PreviewOf(const TSurface& page)
{
#ifdef TRACERY_BENCH_HAS_PREVIEW
    return PreviewImage(page);
#else
    // The 2 x 2 rule as the drawing surface samples it (for each block the
    // last pixel, in the order (x, y), (x, y + 1), (x + 1, y), (x + 1, y + 1),
    // that is not white).
    return page.HalfSample(clWhite);
#endif
}

// The 2 x 2 rule read and written pixel by pixel through the image's own
// accessors, for comparison.
TSurface PlainPreview(const TSurface& page)
{
    const QImage& source = page.Image();
    const int width = page.Width() / 2, height = page.Height() / 2;
    QImage target(width, height, QImage::Format_RGB32);
    target.fill(Qt::white);
    for (int x = 0; x < 2 * width; x += 2)
        for (int y = 0; y < 2 * height; y += 2)
            for (const QPoint p : {QPoint(x, y), QPoint(x, y + 1), QPoint(x + 1, y), QPoint(x + 1, y + 1)})
                if ((source.pixel(p) & 0xFFFFFF) != 0xFFFFFF) target.setPixel(x / 2, y / 2, source.pixel(p));
    TSurface preview;
    preview.Image() = target;
    return preview;
}

// The PNG picture of a page as --png writes it: by the PNG writer where the
// tree has it, else as Qt saves an image.
bool WritePagePng(const TSurface& page, const QString& path)
{
#ifdef TRACERY_BENCH_HAS_PNG_WRITER
    return !TPngWriter::Write(page.Image(), path).Failed();
#else
    return page.Image().save(path, "PNG");
#endif
}

// Part export of one component: the inspector's Export (after Inspect,
// which the batch dialogs end at once) where the tree has the inspector,
// else the same file written here line by line.
void InspectForExport(Bitmap& component)
{
#ifdef TRACERY_BENCH_HAS_INSPECTOR
    if (frmBmpDebug) frmBmpDebug->Inspect(component);
#else
    (void)component;
#endif
}

void WritePartExport(const Bitmap& component, const QString& path)
{
#ifdef TRACERY_BENCH_HAS_INSPECTOR
    if (frmBmpDebug) {
        frmBmpDebug->WriteExport(path);
        return;
    }
#endif
    const TSurface& body = component.GetBodyImage();
    const int m = component.GetMargin();
    const int width = body.Width() - 2 * m, height = body.Height() - 2 * m;
    QByteArray out;
    auto line = [&out](const QByteArray& text) { out += text + "\r\n"; };
    const int w10 = (width - 1) / 10, h10 = (height - 1) / 10;
    line("'" + component.GetName() + "'");
    line("'" + component.GetPackage() + "'");
    line(QByteArray::number(w10) + ' ' + QByteArray::number(h10) + " 1");
    line("PARTS");
    line("1 " + QByteArray::number(w10) + ' ' + QByteArray::number(h10));
    QStringList pins;
    component.ListPins(pins);
    for (const QString& pin : pins) line(pin.toLatin1());
    line("");
    line("BITMAP");
    const QRgb background = ColourToRgb(Bitmap::bodyBackground);
    for (int y = 0; y < height; ++y) {
        QByteArray row = QByteArray("{") + QByteArray::number(y).rightJustified(3, ' ') + '}';
        const auto* pixels = reinterpret_cast<const QRgb*>(body.Image().constScanLine(y + m)) + m;
        for (int x = 0; x < width; ++x) row += (pixels[x] | 0xFF000000u) == background ? '.' : '#';
        line(row);
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(out) != out.size())
        throw EFileError(QStringLiteral("Cannot create file ") + path);
}

Bitmap* LargestComponent(const TForm1& form)
{
    Bitmap* largest = nullptr;
    long best = -1;
    for (const auto& object : form.Objects) {
        auto* bitmap = dynamic_cast<Bitmap*>(object.get());
        if (!bitmap) continue;
        const long area = long(bitmap->GetBodyWidth()) * bitmap->GetBodyHeight();
        if (area > best) best = area, largest = bitmap;
    }
    return largest;
}

// Line types of the sheet's settings file: every style, two wide pens.
const char* const settingsText =
    "[Lines]\n"
    "Type 1=0x00000000,0,1\n"
    "Type 2=0x00800000,1,1\n"
    "Type 3=0x00008000,2,1\n"
    "Type 4=0x000000ff,0,3\n"
    "Type 5=0x00808000,4,1\n";

// Time of one paint split by object class (each object's Draw timed alone).
void PrintBreakdown(TForm1& form, TSurface& page)
{
    std::map<std::string, std::pair<double, int>> byClass;
    QElapsedTimer timer;
    const TDrawContext context = form.Drawing.Context(ObjectSettings());
    for (const auto& object : form.Objects) {
        timer.start();
        object->Draw(page, context);
        auto& entry = byClass[typeid(*object).name()];
        entry.first += double(timer.nsecsElapsed()) / 1e6;
        ++entry.second;
    }
    std::printf("one paint by class (timer overhead included):\n");
    for (const auto& [name, entry] : byClass)
        std::printf("  %-20s %6d objects %9.3f ms\n", name.c_str(), entry.second, entry.first);
}

// The sheet with `count` of its components changed, spread over the file:
// every other one moved 10 pixels to the right with its labels, the others
// given another value.
q01::Bytes WithChangedComponents(q01::Bytes bytes, int count)
{
    std::vector<std::size_t> components;
    for (std::size_t pos = 0; pos < bytes.size();) {
        const std::int64_t length = RecordLength(bytes.data() + pos, bytes.size() - pos);
        if (length <= 0) break;
        if (bytes[pos] == 0x70) components.push_back(pos);
        pos += std::size_t(length);
    }
    for (int k = 0; k < count && !components.empty(); ++k) {
        const std::size_t at = components[std::size_t(k) * components.size() / std::size_t(count)];
        if (k % 2 == 0) {
            for (std::size_t field : {12, 35, 39})
                q01::PutU16(bytes, at + field, std::uint16_t(ReadU16(&bytes[at + field]) + 10));
        } else {
            q01::PutAsciil(bytes, at + 53, "CHANGED" + std::to_string(k), 10);
        }
    }
    return bytes;
}

// Runs of the program itself, a new process each time and with no display,
// as a user converts an archive: the fastest run's time and the largest peak
// resident memory of any run (ms -1 when one fails).
struct TCommandRun {
    double Ms = -1;
    double PeakMb = -1;  // of 1,048,576 bytes, as VmHWM is shown
};

TCommandRun CommandRun(const QStringList& arguments, int runs)
{
    std::vector<std::string> texts = {TRACERY_BINARY};
    for (const QString& a : arguments) texts.push_back(a.toStdString());
    std::vector<char*> argv;
    for (std::string& t : texts) argv.push_back(t.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (char** e = environ; *e; ++e) {
        const std::string entry(*e);
        const bool display = entry.rfind("DISPLAY=", 0) == 0 || entry.rfind("WAYLAND_DISPLAY=", 0) == 0 ||
                             entry.rfind("QT_QPA_PLATFORM=", 0) == 0;
        if (!display) envp.push_back(*e);
    }
    envp.push_back(nullptr);
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
    TCommandRun result;
    double best = std::numeric_limits<double>::infinity();
    long peak = 0;
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer timer;
        timer.start();
        pid_t child = 0;
        if (posix_spawn(&child, argv[0], &quiet, nullptr, argv.data(), envp.data()) != 0) break;
        int status = 0;
        rusage usage{};
        if (wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            best = -1;
            break;
        }
        best = std::min(best, double(timer.nsecsElapsed()) / 1e6);
        peak = std::max(peak, usage.ru_maxrss);
    }
    posix_spawn_file_actions_destroy(&quiet);
    if (best > 0 && best < std::numeric_limits<double>::infinity()) result = {best, double(peak) / 1024.0};
    return result;
}

double CommandMs(const QStringList& arguments, int runs) { return CommandRun(arguments, runs).Ms; }

// The archive site's rows: COUNT generated sheets catalogued, then again.
int CatalogueRows(int count, const QString& folder)
{
    const QString archive = QDir(folder).filePath(QStringLiteral("archive"));
    const QString site = QDir(folder).filePath(QStringLiteral("site"));
    QDir(site).removeRecursively();
    qint64 bytes = 0;
    for (int i = 0; i < count; ++i) {
        const QString path = QDir(archive).filePath(QString::fromStdString(q01::ArchiveSheetPath(i)));
        QDir().mkpath(QFileInfo(path).path());
        const q01::Bytes sheet = q01::ArchiveSheet(i, 1);
        q01::WriteFile(path.toStdString(), sheet);
        bytes += qint64(sheet.size());
    }
    const QStringList arguments{QStringLiteral("--catalogue=") + site, archive};
    const double first = CommandMs(arguments, 1);
    const double unchanged = CommandMs(arguments, 1);
    q01::WriteFile(QDir(archive).filePath(QString::fromStdString(q01::ArchiveSheetPath(0))).toStdString(),
                   q01::ArchiveSheet(0, 2));
    const double oneChanged = CommandMs(arguments, 1);
    qint64 siteBytes = 0;
    QDirIterator it(site, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) siteBytes += QFileInfo(it.next()).size();
    // The index in a browser: the time to open it (its load event), and to
    // answer a search typed into it until the answer is painted; the best
    // of three.
    double opened = -1, searched = -1, answered = -1;
    {
        THeadlessBrowser browser;
        const QString index = QUrl::fromLocalFile(QDir(site).absoluteFilePath(QStringLiteral("index.html"))).toString();
        for (int k = 0; k < 3 && browser.Started(); ++k) {
            if (!browser.Open(index)) break;
            const double load =
                browser.Evaluate("performance.getEntriesByType('navigation')[0].loadEventEnd").toDouble();
            const double search =
                browser
                    .Evaluate(
                        "new Promise(done => { var box = document.querySelector('.search input'), t = "
                        "performance.now();"
                        " box.value = 'LM741'; box.dispatchEvent(new Event('input'));"
                        " requestAnimationFrame(() => requestAnimationFrame(() => done(performance.now() - t))); })")
                    .toDouble();
            if (!browser.Open(index + QStringLiteral("?q=LM741"))) break;
            const double shared =
                browser.Evaluate("new Promise(done => requestAnimationFrame(() => done(performance.now())))")
                    .toDouble();
            opened = opened < 0 ? load : std::min(opened, load);
            searched = searched < 0 ? search : std::min(searched, search);
            answered = answered < 0 ? shared : std::min(answered, shared);
        }
    }
    std::printf("tracery --catalogue on %d sheets (%.1f MB), %d cores:\n", count, double(bytes) / 1e6, ThreadsFor(0));
    std::printf("%-46s %10.0f ms\n", "first run", first);
    std::printf("%-46s %10.0f ms  (%.3f of the first)\n", "second run, nothing changed", unchanged, unchanged / first);
    std::printf("%-46s %10.0f ms\n", "third run, one sheet changed", oneChanged);
    std::printf("%-46s %10.1f MB\n", "the site", double(siteBytes) / 1e6);
    if (opened >= 0) {
        std::printf("%-46s %10.0f ms\n", "Chromium: index.html opened (load event)", opened);
        std::printf("%-46s %10.0f ms\n", "Chromium: LM741 typed, the answer painted", searched);
        std::printf("%-46s %10.0f ms\n", "Chromium: index.html?q=LM741 answered", answered);
    }
    return first < 0 || unchanged < 0 || oneChanged < 0 ? 1 : 0;
}

struct Row {
    const char* name;
    double ms;
    const char* baseline;
    double baselineMs;
    QString target;
    bool met;
};

void Print(const std::vector<Row>& rows)
{
    std::printf("%-46s %10s %10s  %-12s %s\n", "step", "ms", "ratio", "against", "target");
    for (const Row& r : rows) {
        char ratio[32] = "";
        if (r.baselineMs > 0) std::snprintf(ratio, sizeof ratio, "%9.2fx", r.ms / r.baselineMs);
        std::printf("%-46s %10.3f %10s  %-12s %s%s\n", r.name, r.ms, ratio, r.baseline, qPrintable(r.target),
                    r.target.isEmpty() ? "" : (r.met ? "  met" : "  MISSED"));
    }
}

}  // namespace

int main(int argc, char** argv)
{
    SetUpProcessMemory();  // as the program does
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
#ifndef NDEBUG
    std::fprintf(stderr, "tracery_bench: not an optimised build; the figures mean little\n");
#endif
    QApplication app(argc, argv);

    int runs = 7;
    QString keep;
    bool breakdown = false;
    int catalogue = 0;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--runs") && i + 1 < args.size())
            runs = std::max(1, args[++i].toInt());
        else if (args[i] == QLatin1String("--keep") && i + 1 < args.size())
            keep = args[++i];
        else if (args[i] == QLatin1String("--breakdown"))
            breakdown = true;
        else if (args[i] == QLatin1String("--catalogue") && i + 1 < args.size())
            catalogue = std::max(1, args[++i].toInt());
        else {
            std::fprintf(stderr,
                         "usage: tracery_bench [--runs N] [--keep DIR] [--breakdown]\n"
                         "       tracery_bench --catalogue COUNT [--keep DIR]\n");
            return 2;
        }
    }

    QTemporaryDir temporary;
    const QString folder = keep.isEmpty() ? temporary.path() : QDir(keep).absolutePath();
    QDir().mkpath(folder);
    const QString ini = QDir(folder).filePath(QStringLiteral("tracery.ini"));
    {
        QFile f(ini);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 1;
        f.write(settingsText);
    }
    SetSettingsFileName(ini);
    if (catalogue > 0) return CatalogueRows(catalogue, folder);
    BenchDialogs dialogs;
    SetDialogs(&dialogs);

    const QString sheet = QDir(folder).filePath(QStringLiteral("dense-a0.q01"));
    const q01::Bytes bytes = q01::DenseSheet(q01::DenseA0());
    q01::WriteFile(sheet.toStdString(), bytes);

    // The sheet converted from the command line, against an empty sheet of
    // the same size: the program's start and end, the page's, and no objects.
    // Run before the bench loads anything: a process started from another
    // keeps its parent's largest memory as its own peak, so the bench's must
    // stay below what each run itself takes.
    const QString empty = QDir(folder).filePath(QStringLiteral("empty-a0.q01"));
    q01::WriteFile(empty.toStdString(), q01::Header(q01::DenseA0().pageCode));
    const QString outputs = QDir(folder).filePath(QStringLiteral("command-line"));
    QDir().mkpath(outputs);
    const QString out = QStringLiteral("--out=") + outputs;
    const int commandRuns = std::max(runs, 5);
    const double emptyRun = CommandMs({QStringLiteral("--batch"), out, empty}, commandRuns);
    const TCommandRun batchRun = CommandRun({QStringLiteral("--batch"), out, sheet}, commandRuns);
    // Each output of the sheet end to end, with its peak memory.
    const char* const outputOptions[] = {"--png", "--svg", "--pdf", "--netlist", "--kicad", "--lepton"};
    std::map<std::string, TCommandRun> outputRuns;
    for (const char* option : outputOptions)
        outputRuns[option] = CommandRun({QStringLiteral("--batch"), QLatin1String(option), out, sheet}, commandRuns);
    const double denseRun = batchRun.Ms, densePng = outputRuns["--png"].Ms;
    const double denseNetlist = outputRuns["--netlist"].Ms, denseSvg = outputRuns["--svg"].Ms;
    bool commandsRan = emptyRun > 0 && denseRun > 0;
    for (const auto& [option, run] : outputRuns) commandsRan = commandsRan && run.Ms > 0;

    int status = 0;
    {
        TForm1 form({QStringLiteral("tracery")});
        form.BatchMode = true;
        CreateOtherWindows();

        std::vector<Row> rows;
        // Baselines.
        const double read = Measure(runs, [&] {
            QFile file(sheet);
            if (file.open(QIODevice::ReadOnly)) (void)file.readAll();
        });

        TDrawing::SetRenderThreads(1);
        const double serialLoad = Measure(
            runs, [&] { form.LoadDrawing(sheet); }, [&] { form.ClearObjects(); });
        TDrawing::SetRenderThreads(0);
        const double load = Measure(
            runs, [&] { form.LoadDrawing(sheet); }, [&] { form.ClearObjects(); });
        TSurface& page = form.Image1->Surface();
        // The drawing as a circuit: its nets, joins, loose ends and near misses.
        std::size_t nets = 0;
        const double connectivity = Measure(runs, [&] { nets = TConnectivity(form.Drawing).Nets().size(); });
        const double connectivityCpu = MeasureCpu(runs, [&] { nets = TConnectivity(form.Drawing).Nets().size(); });
        const double loadCpu = MeasureCpu(
            runs, [&] { form.LoadDrawing(sheet); }, [&] { form.ClearObjects(); });
        const double fill = Measure(runs, [&] { page.Clear(clWhite); });

        const double repaint = Measure(runs, [&] { form.RepaintPage(); });
        const double paintObjects = Measure(runs, [&] { form.PaintObjects(page); });
        if (breakdown) PrintBreakdown(form, page);

        // A settings change that the component labels depend on.
        int fontStep = 0;
        const int paintsBefore = form.PaintCount();
        const double pinFont = Measure(
            runs, [&] { frmBitmap->btnNumFonClick(); },
            [&] {
                dialogs.Font = frmBitmap->dlgPinNum;
                dialogs.Font.Size = 7 + fontStep++ % 3;
            });

        const int pinFontPaints = form.PaintCount() - paintsBefore;

        // The worst pointer move: a point no component holds, so every object is looked at.
        int x = 0, y = 0;
        form.FormMouseMove(x, y);
        if (form.CurrentBitmap) std::fprintf(stderr, "pointer at (0, 0) hits a component\n");
        const int moves = 1000;
        const double pointer = Measure(runs,
                                       [&] {
                                           for (int k = 0; k < moves; ++k) form.FormMouseMove(x, y);
                                       }) /
                               moves;

        // The page picture of --png, and for comparison as Qt saves an image by default.
        const QString png = QDir(folder).filePath(QStringLiteral("dense-a0.png"));
        const double pngMs = Measure(runs, [&] {
            if (!WritePagePng(page, png)) std::fprintf(stderr, "cannot write %s\n", qPrintable(png));
        });
        const double plainPng = Measure(std::min(runs, 3), [&] { (void)page.Image().save(png + ".qt.png", "PNG"); });
        const qint64 pngBytes = QFileInfo(png).size(), plainPngBytes = QFileInfo(png + ".qt.png").size();
        QFile::remove(png + ".qt.png");

        TSurface preview;
        // As View > Preview does: the previous preview goes before the new one is made.
        const double previewMs = Measure(
            runs, [&] { preview = PreviewOf(page); }, [&] { preview = TSurface(); });
        const double plainPreview = Measure(
            std::min(runs, 3), [&] { preview = PlainPreview(page); }, [&] { preview = TSurface(); });

        // The view: one paint of a 1920 x 1080 window's worth of the page image
        // (at 25 % the whole page is smaller than that), from the reduced page
        // made before; and the first paint after a repaint, which makes it.
        TPageImage* view = form.Image1;
        QImage screen(1920, 1080, QImage::Format_RGB32);
        const auto paintView = [&](QPoint at) {
            view->render(&screen, QPoint(), QRegion(QRect(at, screen.size())), QWidget::DrawChildren);
        };
        view->SetZoom(TPageImage::ActualSize);
        const double view100 = Measure(runs, [&] { paintView(QPoint(1000, 1000)); });
        view->SetZoom(25 * TPageImage::Percent);
        paintView(QPoint());
        const double view25 = Measure(runs, [&] { paintView(QPoint()); });
        const int reductionsBefore = view->ReductionCount();
        const double reduction25 = Measure(
            runs, [&] { paintView(QPoint()); }, [&] { form.RepaintPage(); });
        const bool oncePerRepaint = view->ReductionCount() - reductionsBefore == runs;
        const QSize fitView(1900, 1000);
        const int fit = TPageImage::FitZoom(page.Image().size(), fitView, 0, false);
        view->SetZoom(fit);
        const QSize fitSize = view->size();
        QImage reduced;
        const double reductionFit = Measure(runs, [&] {
            reduced = ReduceByArea(page.Image(), fitSize, {fit, TPageImage::ActualSize}, {fit, TPageImage::ActualSize});
        });
        view->SetZoom(TPageImage::ActualSize);

        // The page as a picture and as vector pages, as --png, --svg and --pdf write them.
        const QString svgFile = QDir(folder).filePath(QStringLiteral("dense-a0.svg"));
        const QString pdfFile = QDir(folder).filePath(QStringLiteral("dense-a0.pdf"));
        qint64 svgBytes = 0;
        const double svg = Measure(std::min(runs, 3), [&] {
            TVectorTarget vector(page.Width(), page.Height());
            form.Drawing.Paint(vector, ObjectSettings());
            QFile file(svgFile);
            if (file.open(QIODevice::WriteOnly | QIODevice::Truncate) && vector.WriteSvg(file)) svgBytes = file.size();
        });
        // Its steps: the objects painted on the vector target, and the document text.
        const double svgPaint = Measure(std::min(runs, 3), [&] {
            TVectorTarget vector(page.Width(), page.Height());
            form.Drawing.Paint(vector, ObjectSettings());
        });
        double svgText = 0;
        {
            TVectorTarget svgPage(page.Width(), page.Height());
            form.Drawing.Paint(svgPage, ObjectSettings());
            svgText = Measure(std::min(runs, 3), [&] { (void)svgPage.Svg(); });
        }
        const double pdf = Measure(std::min(runs, 3), [&] {
            TVectorTarget vector(page.Width(), page.Height());
            form.Drawing.Paint(vector, ObjectSettings());
            Guarded([&] { TDrawingOutputs::WritePdf(pdfFile, sheet, vector); });
        });

        // The circuit as KiCad and lepton-eda schematics, as --kicad and
        // --lepton write them: the connectivity, the sheet and the file.
        const QString kicadFile = QDir(folder).filePath(QStringLiteral("dense-a0.kicad_sch"));
        const QString leptonFile = QDir(folder).filePath(QStringLiteral("dense-a0.sch"));
        const auto schematic = [&](bool kicad) {
            const TConnectivity circuit(form.Drawing);
            const TSchematicSheet schematicSheet(form.Drawing, circuit, ObjectSettings(), page.Image().size());
            if (kicad)
                TDrawingOutputs::WriteKicad(kicadFile, sheet, schematicSheet);
            else
                TDrawingOutputs::WriteLepton(leptonFile, schematicSheet);
        };
        const double kicadMs = Measure(std::min(runs, 3), [&] { schematic(true); });
        const double leptonMs = Measure(std::min(runs, 3), [&] { schematic(false); });
        const qint64 kicadBytes = QFileInfo(kicadFile).size();

        form.ExportMode = true;
        const double split = Measure(
            runs, [&] { form.LoadDrawing(sheet); }, [&] { form.ClearObjects(); });
        form.ExportMode = false;

        // Comparisons: the sheet against an identical copy, and against a copy
        // with ten changed components (both loaded, drawn, the picture and the report).
        const QString copy = QDir(folder).filePath(QStringLiteral("dense-a0-copy.q01"));
        const QString changed = QDir(folder).filePath(QStringLiteral("dense-a0-changed.q01"));
        q01::WriteFile(copy.toStdString(), bytes);
        q01::WriteFile(changed.toStdString(), WithChangedComponents(bytes, 10));
        int sameReports = 0, changedLines = -1;
        const double compareSame = Measure(runs, [&] {
            const auto comparison = CompareDrawingFiles(sheet, copy);
            sameReports += comparison && comparison->Same();
        });
        const double compareChanged = Measure(runs, [&] {
            const auto comparison = CompareDrawingFiles(sheet, changed);
            changedLines =
                comparison ? int(comparison->Report().filter(QRegularExpression(QStringLiteral("^changed "))).size())
                           : -1;
        });

        Bitmap* largest = LargestComponent(form);
        const QString partFile = QDir(folder).filePath(QStringLiteral("largest-part.txt"));
        if (largest) InspectForExport(*largest);
        const double part = largest ? Measure(runs, [&] { Guarded([&] { WritePartExport(*largest, partFile); }); }) : 0;

        rows.push_back({"baseline: fill the A0 page image", fill, "", 0, {}, true});
        rows.push_back({"baseline: read the file into memory", read, "", 0, {}, true});
        rows.push_back({"load (LoadDrawing, with its first paint)", load, "file read", read, QStringLiteral("< 200 ms"),
                        load < 200});
        rows.push_back({"  of which the record walk (load - repaint)", load - repaint, "file read", read, {}, true});
        rows.push_back({"  the same load, bodies rendered on one thread", serialLoad, "file read", read, {}, true});
        rows.push_back({"connectivity (TConnectivity: nets, joins, ends)", connectivity, "load", load,
                        QStringLiteral("<= 0.5x load, %1 nets").arg(nets), connectivity <= 0.5 * load && nets > 0});
        rows.push_back({"  the same in processor time, all threads", connectivityCpu, "load's", loadCpu,
                        QStringLiteral("<= 0.5x load's"), connectivityCpu <= 0.5 * loadCpu});
        rows.push_back({"full repaint (RepaintPage)", repaint, "page fill", fill,
                        QStringLiteral("<= 15x fill, < 100 ms"), repaint <= 15 * fill && repaint < 100});
        rows.push_back({"  PaintObjects on the page image", paintObjects, "page fill", fill, {}, true});
        rows.push_back({"pin number font change (handler + its repaint)", pinFont, "page fill", fill,
                        QStringLiteral("one repaint each"), pinFontPaints == runs});
        rows.push_back({"worst pointer move (no component hit)", pointer, "page fill", fill, QStringLiteral("< 0.1 ms"),
                        pointer < 0.1});
        rows.push_back({"PNG picture of the A0 page (--png)", pngMs, "load", load, QStringLiteral("<= 0.5x load"),
                        pngMs <= 0.5 * load});
        rows.push_back({"  the same by QImage::save (RGB, default level)", plainPng, "load", load, {}, true});
        rows.push_back({"command line: tracery --batch empty-a0.q01", emptyRun, "", 0, {}, commandsRan});
        rows.push_back({"command line: tracery --batch dense-a0.q01", denseRun, "empty run", emptyRun,
                        QStringLiteral("<= 4x empty run"), commandsRan && denseRun <= 4 * emptyRun});
        rows.push_back({"  --png adds (to the load and paint)", densePng - denseRun, "load+paint", denseRun - emptyRun,
                        QStringLiteral("<= 0.5x load+paint"),
                        commandsRan && densePng - denseRun <= 0.5 * (denseRun - emptyRun)});
        rows.push_back({"  --netlist adds (to the --batch run)", denseNetlist - denseRun, "--batch run", denseRun,
                        QStringLiteral("<= 0.3x --batch run"),
                        commandsRan && denseNetlist - denseRun <= 0.3 * denseRun});
        rows.push_back({"  --svg, end to end", denseSvg, "--batch run", denseRun, {}, commandsRan});
        const auto againstSvg = [&](const char* name, const char* option) {
            const double ms = outputRuns[option].Ms;
            rows.push_back({name, ms, "--svg run", denseSvg, QStringLiteral("<= 2x --svg run"),
                            commandsRan && ms <= 2 * denseSvg});
        };
        againstSvg("  --pdf, end to end", "--pdf");
        againstSvg("  --kicad, end to end", "--kicad");
        againstSvg("  --lepton, end to end", "--lepton");
        rows.push_back({"View > Preview of the A0 page", previewMs, "page fill", fill, QStringLiteral("<= 3x fill"),
                        previewMs <= 3 * fill});
        rows.push_back({"  the same pixel by pixel (QImage::pixel)", plainPreview, "page fill", fill, {}, true});
        rows.push_back({"view paint 1920 x 1080 at 100 %", view100, "page fill", fill, {}, true});
        rows.push_back({"view paint 1920 x 1080 at 25 % (whole page)", view25, "page fill", fill, {}, true});
        rows.push_back({"  first paint after a repaint (makes reduction)", reduction25, "page fill", fill,
                        QStringLiteral("one reduction each"), oncePerRepaint});
        rows.push_back({"  the reduction alone at Fit Page in 1900 x 1000", reductionFit, "page fill", fill, {}, true});
        rows.push_back({"SVG of the A0 page (--svg)", svg, "PNG", pngMs,
                        QStringLiteral("<= 3x PNG, %1 MB < 40 MB").arg(svgBytes / 1e6, 0, 'f', 1),
                        svg <= 3 * pngMs && svgBytes < 40'000'000});
        rows.push_back({"  of which painting on the vector target", svgPaint, "PNG", pngMs, {}, true});
        rows.push_back({"  of which the document text (Svg)", svgText, "PNG", pngMs, {}, true});
        rows.push_back({"PDF of the A0 page (--pdf, vector)", pdf, "PNG", pngMs, {}, true});
        rows.push_back({"KiCad schematic of the A0 sheet (--kicad)", kicadMs, "SVG", svg,
                        QStringLiteral("<= 2x SVG, %1 MB").arg(kicadBytes / 1e6, 0, 'f', 1), kicadMs <= 2 * svg});
        rows.push_back({"lepton-eda schematic of the A0 sheet (--lepton)", leptonMs, "SVG", svg, {}, true});
        rows.push_back({"compare with an identical copy (same, no lines)", compareSame, "load", load,
                        QStringLiteral("< 2x load"), compareSame < 2 * load && sameReports == runs});
        rows.push_back({"compare with 10 components changed (10 such lines)", compareChanged, "load", load,
                        QStringLiteral("< 1000 ms"), compareChanged < 1000 && changedLines == 10});
        rows.push_back({"split export (LoadDrawing in export mode)", split, "file read", read, {}, true});
        rows.push_back({"part export of the largest component", part, "file read", read, {}, true});

        std::printf("Dense A0 sheet: %s, %zu bytes, %zu objects; median of %d runs\n", qPrintable(sheet), bytes.size(),
                    form.Objects.size(), runs);
#ifdef TRACERY_BENCH_HAS_PREVIEW
        std::printf("preview: the preview window's PreviewImage\n");
#else
        std::printf("preview: TSurface::HalfSample (no preview window in this tree)\n");
#endif
#ifdef TRACERY_BENCH_HAS_INSPECTOR
        std::printf("part export: the inspector's WriteExport\n");
#else
        std::printf("part export: written by the benchmark (no inspector in this tree)\n");
#endif
        if (largest)
            std::printf("largest component: %s, body %d x %d\n", largest->GetName().constData(),
                        largest->GetBodyWidth(), largest->GetBodyHeight());
        Print(rows);
        std::printf("%-46s %10.1f MB  (QImage::save: %.1f MB)\n", "PNG picture size", pngBytes / 1e6,
                    plainPngBytes / 1e6);
        std::printf("%-46s %10.1f MB\n", "memory in huge pages (the page image's)",
                    RollupKiB("AnonHugePages") / 1024.0);
        const long peak = PeakMemoryKiB();
        std::printf("%-46s %10.1f MB  target < 400 MB%s\n", "peak memory (VmHWM)", peak / 1024.0,
                    peak >= 0 && peak < 400 * 1024 ? "  met" : "  MISSED");
        // Each output's own process, at its largest.
        const auto printPeak = [](const char* option, const TCommandRun& run) {
            std::printf("peak memory: tracery --batch %-17s %10.1f MB  target <= 160 MB%s\n", option, run.PeakMb,
                        run.PeakMb > 0 && run.PeakMb <= 160 ? "  met" : "  MISSED");
        };
        printPeak("", batchRun);
        for (const char* option : outputOptions) printPeak(option, outputRuns[option]);

        // For comparison, and last (it makes every component's body raster):
        // the paint done step by step, without what the cached paint keeps.
        page.StepByStep = true;
        const double reference = Measure(std::min(runs, 3), [&] { form.PaintObjects(page); });
        page.StepByStep = false;
        std::printf("%-46s %10.3f %9.2fx  %-12s (peak memory then %.1f MB)\n", "step-by-step paint, for comparison",
                    reference, reference / fill, "page fill", PeakMemoryKiB() / 1024.0);

        form.ClearObjects();
        DestroyOtherWindows();
    }
    SetDialogs(nullptr);
    return status;
}
