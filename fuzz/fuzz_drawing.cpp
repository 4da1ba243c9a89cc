// Fuzz target: any bytes as a drawing file, loaded by the main window exactly
// as the program loads it (export mode on, every settings window present),
// drawn on the page, every component queried and inspected (part export
// and inspector row), the split files checked to be drawing files of their
// one kind, and the page written as SVG (in memory) and checked to be
// well-formed XML of paths and texts within the page; its nets read, each pin
// on exactly one net and found there by its end, its check and netlist made.
#include <QDir>
#include <QStringList>
#include <QXmlStreamReader>
#include <algorithm>
#include <cstdint>

#include "FuzzCommon.h"
#include "app/Startup.h"
#include "app/Surface.h"
#include "app/Tracerywin.h"
#include "drawing/Bitmap.h"
#include "drawing/Connectivity.h"
#include "drawing/Debugbmp.h"
#include "drawing/Drawingcheck.h"
#include "drawing/Objectsettings.h"
#include "drawing/Quorvidobject.h"
#include "drawing/Recordkind.h"
#include "exports/Drawingoutputs.h"
#include "exports/Netlist.h"
#include "render/Vectortarget.h"

namespace {

TForm1* form = nullptr;
QString drawingPath;

// A split file holds whole records: headers and records of its kind only.
void CheckSplitFile(const QString& path, std::uint8_t type)
{
    const QByteArray bytes = fuzz::ReadBytes(path);
    const auto* start = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    std::size_t at = 0;
    while (at < std::size_t(bytes.size())) {
        const std::size_t available = std::size_t(bytes.size()) - at;
        const std::int64_t length = RecordLength(start + at, available);
        FUZZ_CHECK(start[at] == 0x00 || start[at] == type);
        FUZZ_CHECK(length >= 16 && std::uint64_t(length) <= available);
        at += std::size_t(length);
    }
}

void QueryComponent(Bitmap& b)
{
    bool valid = false;
    const TRect r = b.GetRect(valid);
    FUZZ_CHECK(valid);
    const TSurface& image = b.GetBodyImage();
    if (b.IsSimplified()) {
        FUZZ_CHECK(image.Width() == 0 && image.Height() == 0);
    } else {
        FUZZ_CHECK(image.Width() == r.Right - r.Left + 2 * b.GetMargin());
        FUZZ_CHECK(image.Height() == r.Bottom - r.Top + 2 * b.GetMargin());
        (void)image.Pixel(0, 0);
    }
    (void)b.GetName();
    (void)b.GetValue();
    (void)b.GetPackage();
    FUZZ_CHECK(b.GetRotation() >= 0 && b.GetRotation() <= 3);
    FUZZ_CHECK(!(b.GetHFlip() && b.GetVFlip()));
    (void)b.GetStrange();
    QStringList pins;
    b.ListPins(pins);
    FUZZ_CHECK(pins.size() == b.GetPinCount());

    // The inspector: the part export of this component while it is shown,
    // then its row, ended with "OK".
    TfrmBmpDebug& inspector = *frmBmpDebug;
    const qsizetype rowsBefore = inspector.CsvLines().size();
    fuzz::Quiet().OnModal = [&](QDialog&) {
        const QList<QByteArray> lines = inspector.ExportLines();
        FUZZ_CHECK(lines.size() >= 7 + pins.size());
        const qsizetype bodyRows = lines.size() - 7 - pins.size();
        FUZZ_CHECK(bodyRows <= std::max(0, r.Bottom - r.Top));
        inspector.btnOkClick();
    };
    inspector.Inspect(b);
    fuzz::Quiet().OnModal = nullptr;
    FUZZ_CHECK(inspector.CsvLines().size() == rowsBefore + 1);
    FUZZ_CHECK(SplitItemList(inspector.CsvLines().back()).size() == 10);

    // Pointer tracking over the body's middle.
    const std::int64_t x = (std::int64_t(r.Left) + r.Right) / 2, y = (std::int64_t(r.Top) + r.Bottom) / 2;
    form->FormMouseMove(int(std::clamp<std::int64_t>(x, -100000, 100000)),
                        int(std::clamp<std::int64_t>(y, -100000, 100000)));
}

// The SVG of the page: one svg element whose viewBox is the page, holding
// paths and texts only, every number of a path inside the page (with the
// widest pen's reach around it).
void CheckSvg()
{
    const QSize size = form->Image1->Surface().Image().size();
    const TVectorTarget vector = TDrawingOutputs::VectorPage(form->Drawing, ObjectSettings(), size);
    const QByteArray svg = vector.Svg();
    QXmlStreamReader xml(svg);
    int roots = 0;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        const QStringView name = xml.name();
        if (name == QLatin1String("svg")) {
            ++roots;
            FUZZ_CHECK(xml.attributes().value(QLatin1String("viewBox")) ==
                       QStringLiteral("0 0 %1 %2").arg(size.width()).arg(size.height()));
        } else if (name == QLatin1String("path") || name == QLatin1String("g")) {
            const QStringView d = xml.attributes().value(QLatin1String("d"));
            qsizetype at = 0;
            while (at < d.size()) {
                if (!(d[at].isDigit() || d[at] == u'-' || d[at] == u'.')) {
                    ++at;
                    continue;
                }
                qsizetype end = at + 1;
                while (end < d.size() && (d[end].isDigit() || d[end] == u'.')) ++end;
                bool ok = false;
                const double value = d.mid(at, end - at).toDouble(&ok);
                FUZZ_CHECK(ok && value >= -70000.0 && value <= 70000.0 + std::max(size.width(), size.height()));
                at = end;
            }
        } else {
            FUZZ_CHECK(name == QLatin1String("text"));
        }
    }
    FUZZ_CHECK(!xml.hasError());
    FUZZ_CHECK(roots == 1);
}

// The nets: every pin on exactly one net, the net its end is found on; the
// check gives a line per finding; the netlist's parentheses balance.
void CheckConnectivity()
{
    const TConnectivity connectivity(form->Drawing);
    std::size_t pinsOnNets = 0;
    for (const TNet& net : connectivity.Nets()) {
        pinsOnNets += net.Pins.size();
        FUZZ_CHECK(!net.Name.isEmpty());
    }
    FUZZ_CHECK(pinsOnNets == connectivity.Pins().size());
    for (std::size_t i = 0; i < connectivity.Pins().size(); ++i) {
        const TNetPin& pin = *connectivity.Pins()[i];
        const std::size_t net = connectivity.NetOfPin(i);
        FUZZ_CHECK(net < connectivity.Nets().size());
        if (!pin.Hidden) FUZZ_CHECK(connectivity.NetAt(pin.End) == std::optional<std::size_t>(net));
    }
    for (const TNearMiss& miss : connectivity.NearMisses())
        FUZZ_CHECK(miss.Distance >= 1 && miss.Distance <= TConnectivity::nearMissPixels);
    const TDrawingCheck check(form->Drawing, connectivity);
    FUZZ_CHECK(check.Lines(QStringLiteral("x.q01")).size() == qsizetype(check.Findings().size()));
    const QByteArray netlist = KicadNetlist(form->Drawing, connectivity, QStringLiteral("x.q01"));
    int depth = 0;
    bool quoted = false;
    for (qsizetype k = 0; k < netlist.size(); ++k) {
        const char c = netlist[k];
        if (quoted) {
            if (c == '\\')
                ++k;
            else if (c == '"')
                quoted = false;
        } else if (c == '"') {
            quoted = true;
        } else if (c == '(') {
            ++depth;
        } else if (c == ')') {
            FUZZ_CHECK(--depth >= 0);
        }
    }
    FUZZ_CHECK(depth == 0 && !quoted);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::StartApplication("fuzz_drawing");
    // All rasters together: 64 MiB unless TRACERY_FUZZ_RASTER_MB says otherwise,
    // so that runs stay fast and the bound is met often.
    const int mb = qEnvironmentVariableIsSet("TRACERY_FUZZ_RASTER_MB")
                       ? qEnvironmentVariableIntValue("TRACERY_FUZZ_RASTER_MB")
                       : 64;
    Bitmap::SetRasterBudget(std::uint64_t(mb) << 20);

    form = new TForm1(QStringList{QStringLiteral("tracery")});
    CreateOtherWindows();
    form->FormShow();  // no drawing named: the open dialog is cancelled
    form->ExportMode = true;
    drawingPath = fuzz::WorkDir().filePath(QStringLiteral("drawing.q01"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::WriteBytes(drawingPath, data, size);
    // A fresh inspector for each input, so its table does not grow run after run.
    delete frmBmpDebug;
    new TfrmBmpDebug(nullptr);
    Guarded([] { form->LoadDrawing(drawingPath); });
    FUZZ_CHECK(Bitmap::RasterBytesInUse() <= Bitmap::RasterBudget());

    for (const auto& object : form->Objects) {
        bool valid = false;
        (void)object->GetRect(valid);
        if (object->IsClass(QStringLiteral("Bitmap"))) QueryComponent(static_cast<Bitmap&>(*object));
    }
    for (const TSplitFile& kind : SplitFiles())
        CheckSplitFile(form->ExportDir + QDir::separator() + QLatin1String(kind.Name) + QStringLiteral(".q01"),
                       kind.Type);
    CheckSvg();
    CheckConnectivity();
    fuzz::IdleEvents();
    return 0;
}
