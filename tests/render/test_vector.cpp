// Vector pages: a drawing loaded and drawn without any window, written as SVG
// and PDF; rendered again at 1:1 by another renderer they light the pixels of
// our raster page, and every text stays a text.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include "Q01Builder.h"
#include "Q01Component.h"
#include "Q01DenseSheet.h"
#include "StubSettings.h"
#include "app/Quorvprint.h"
#include "app/Surface.h"
#include "drawing/Drawing.h"
#include "drawing/Objectsettings.h"
#include "exports/Drawingoutputs.h"
#include "render/Glyphcache.h"
#include "render/Pdffonts.h"
#include "render/Vectortarget.h"

using q01::operator+=;

namespace {

// Annotations hide themselves when texts are off.
class NoTextAnnotations : public IAnnotateSettings {
public:
    bool IsVisible() const override { return false; }
    void ApplyFont(TFont&, int) const override {}
};

// A picture that another painter draws on without smoothing: the SVG
// renderer turns antialiasing on for itself, and this device's engine passes
// everything on to a painter on the image except that.
class AliasedImage : public QPaintDevice {
public:
    explicit AliasedImage(QSize size) : image(size, QImage::Format_RGB32), engine_(this) { image.fill(Qt::white); }
    QPaintEngine* paintEngine() const override { return &engine_; }
    QImage image;

protected:
    int metric(PaintDeviceMetric metric) const override
    {
        switch (metric) {
        case PdmWidth: return image.width();
        case PdmHeight: return image.height();
        case PdmDepth: return 32;
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY: return 96;
        case PdmDevicePixelRatio: return 1;
        case PdmDevicePixelRatioScaled: return int(devicePixelRatioFScale());
        default: return QPaintDevice::metric(metric);
        }
    }

private:
    class Engine : public QPaintEngine {
    public:
        explicit Engine(AliasedImage* device) : QPaintEngine(AllFeatures), device_(device) {}
        bool begin(QPaintDevice*) override { return inner_.begin(&device_->image); }
        bool end() override { return inner_.end(); }
        void updateState(const QPaintEngineState& changed) override
        {
            const auto dirty = changed.state();
            if (dirty & DirtyPen) inner_.setPen(changed.pen());
            if (dirty & DirtyBrush) inner_.setBrush(changed.brush());
            if (dirty & DirtyBrushOrigin) inner_.setBrushOrigin(changed.brushOrigin());
            if (dirty & DirtyFont) inner_.setFont(changed.font());
            if (dirty & DirtyTransform) inner_.setTransform(changed.transform());
            if (dirty & DirtyOpacity) inner_.setOpacity(changed.opacity());
            if (dirty & DirtyCompositionMode) inner_.setCompositionMode(changed.compositionMode());
            if (dirty & DirtyClipEnabled) inner_.setClipping(changed.isClipEnabled());
            if (dirty & DirtyClipPath) inner_.setClipPath(changed.clipPath(), changed.clipOperation());
            if (dirty & DirtyClipRegion) inner_.setClipRegion(changed.clipRegion(), changed.clipOperation());
            inner_.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing, false);
        }
        void drawPath(const QPainterPath& path) override { inner_.drawPath(path); }
        void drawPolygon(const QPointF* points, int count, PolygonDrawMode mode) override
        {
            if (mode == PolylineMode)
                inner_.drawPolyline(points, count);
            else
                inner_.drawPolygon(points, count, mode == WindingMode ? Qt::WindingFill : Qt::OddEvenFill);
        }
        void drawPixmap(const QRectF& r, const QPixmap& pixmap, const QRectF& source) override
        {
            inner_.drawPixmap(r, pixmap, source);
        }
        void drawImage(const QRectF& r, const QImage& image, const QRectF& source, Qt::ImageConversionFlags) override
        {
            inner_.drawImage(r, image, source);
        }
        void drawTextItem(const QPointF& p, const QTextItem& item) override { inner_.drawTextItem(p, item); }
        Type type() const override { return User; }

    private:
        AliasedImage* device_;
        QPainter inner_;
    };
    mutable Engine engine_;
};

QImage Render(const QByteArray& svg, QSize size)
{
    QSvgRenderer renderer(svg);
    EXPECT_TRUE(renderer.isValid());
    AliasedImage target(size);
    QPainter painter(&target);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    painter.end();
    return target.image;
}

// Of the pixels that are ink (not white) in either picture, the share that
// has the same colour in both.
double InkAgreement(const QImage& a, const QImage& b)
{
    long long ink = 0, same = 0;
    for (int y = 0; y < a.height(); ++y) {
        const QRgb* ra = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const QRgb* rb = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            const QRgb pa = ra[x] | 0xFF000000u, pb = rb[x] | 0xFF000000u;
            if (pa == 0xFFFFFFFFu && pb == 0xFFFFFFFFu) continue;
            ++ink;
            same += pa == pb;
        }
    }
    return ink == 0 ? 1.0 : double(same) / double(ink);
}

// Every object kind, every line type, components in all eight orientations
// with pin circles and wedges, document boxes without lines of text.
q01::Bytes EveryKind()
{
    q01::DenseSheetLayout layout = q01::DenseA2();
    layout.annotations = 0;
    layout.docBoxLines = 0;
    q01::Bytes bytes = q01::DenseSheet(layout);
    bytes += q01::Line(100, 100, 2000, 1400, 1);   // a long diagonal
    bytes += q01::Line(2100, 100, 300, 1500, 4);   // and a wide one
    bytes += q01::Line(50, 1500, 2200, 1500, 2);   // dashed across the page
    bytes += q01::Line(60000, 900, 1000, 900, 1);  // from far off the page
    return bytes;
}

}  // namespace

TEST(VectorPage, RenderedAtOneToOneItLightsTheRasterPagesPixels)
{
    ASSERT_TRUE(QApplication::topLevelWidgets().isEmpty());
    StubSettings stub(false);
    NoTextAnnotations noAnnotations;
    stub.settings.Annotate = &noAnnotations;
    TDrawing drawing;
    const q01::Bytes bytes = EveryKind();
    const TLoadResult result = drawing.Load(bytes.data(), bytes.size());
    ASSERT_TRUE(result.Complete);
    const QSize page = drawing.Page().Size;
    ASSERT_EQ(page, QSize(2230, 1570));

    TVectorTarget vector(page.width(), page.height());
    drawing.Paint(vector, stub.settings);
    const QImage rendered = Render(vector.Svg(), page);
    for (const bool stepByStep : {false, true}) {
        TSurface raster(page.width(), page.height());
        raster.StepByStep = stepByStep;
        drawing.Paint(raster, stub.settings);
        const double agreement = InkAgreement(raster.Image(), rendered);
        std::cout << "[ note ] ink agreement " << (stepByStep ? "step by step" : "cached") << ": " << agreement * 100
                  << " %\n";
        EXPECT_GE(agreement, 0.97);
    }
    EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty());  // no window was made
}

TEST(VectorPage, ItsPdfRenderedByPopplerAtThePagesScaleAgreesWithTheRasterPageAsItsSvgDoes)
{
    StubSettings stub(false);
    NoTextAnnotations noAnnotations;
    stub.settings.Annotate = &noAnnotations;
    TDrawing drawing;
    const q01::Bytes bytes = EveryKind();
    ASSERT_TRUE(drawing.Load(bytes.data(), bytes.size()).Complete);
    const QSize page = drawing.Page().Size;
    TVectorTarget vector(page.width(), page.height());
    drawing.Paint(vector, stub.settings);
    TSurface raster(page.width(), page.height());
    drawing.Paint(raster, stub.settings);
    // The SVG as a viewer shows it (smoothed), and as pixel centres light it.
    QSvgRenderer svgRenderer(vector.Svg());
    QImage smoothed(page, QImage::Format_RGB32);
    smoothed.fill(Qt::white);
    {
        QPainter painter(&smoothed);
        svgRenderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(page)));
    }
    const double svgSmoothed = InkAgreement(raster.Image(), smoothed);
    const double svgCentres = InkAgreement(raster.Image(), Render(vector.Svg(), page));

    // At 100 dots an inch a page pixel (0.72 point) is a pixel; the A2
    // page lies 54 x 42 pixels from the A2 paper's corner. Without
    // smoothing poppler lights every pixel a shape touches: boxes and
    // straight lines along the axes come out as the raster draws them,
    // slanted lines and circles a pixel fuller.
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("every-kind.pdf"));
    TDrawingOutputs::WritePdf(pdf, QStringLiteral("every-kind.q01"), vector);
    QProcess render;
    render.start(QStringLiteral("pdftoppm"),
                 {QStringLiteral("-r"), QStringLiteral("100"), QStringLiteral("-aa"), QStringLiteral("no"),
                  QStringLiteral("-aaVector"), QStringLiteral("no"), QStringLiteral("-png"),
                  QStringLiteral("-singlefile"), pdf, dir.filePath(QStringLiteral("every-kind"))});
    ASSERT_TRUE(render.waitForFinished(60000));
    const QImage paper(dir.filePath(QStringLiteral("every-kind.png")));
    ASSERT_EQ(paper.size(), QSize(2339, 1654));
    const QImage rendered = paper.copy(QRect(QPoint(54, 42), page)).convertToFormat(QImage::Format_RGB32);
    const double agreement = InkAgreement(raster.Image(), rendered);
    std::cout << "[ note ] ink agreement of the PDF " << agreement * 100 << " %, of the SVG smoothed "
              << svgSmoothed * 100 << " %, by pixel centres " << svgCentres * 100 << " %\n";
    EXPECT_GE(agreement, 0.92);
    EXPECT_GE(agreement, svgSmoothed);
}

namespace {

// A drawing of every kind of text: a component with pin numbers and names
// (one pin turned), an annotation, a document box, and the sheet's zones.
q01::Bytes Texts()
{
    q01::Bytes bytes = q01::Header(0);
    q01::Component r;
    r.designation = "R17";
    r.packageText = "0805";
    r.valueText = "4k7";
    r.anchorX = 300;
    r.anchorY = 300;
    r.designationX = 300;
    r.designationY = 270;
    r.valueX = 300;
    r.valueY = 345;
    r.parts = {q01::ComponentPart{0, 4, 2}};
    q01::ComponentPin left;
    left.number = "1";
    left.name = "IN";
    left.side = q01::sideLeft;
    left.offsetUnits = 1;
    q01::ComponentPin top;
    top.number = "2";
    top.name = "CLK";
    top.side = q01::sideTop;
    top.offsetUnits = 2;
    r.pins = {left, top};
    bytes += q01::ComponentRecord(r);
    bytes += q01::Annotation(500, 200, 1, "TEST POINT & <A>");
    bytes += q01::DocBox(700, 500, 1000, 650, {"Title: Amplifier", "Rev B"});
    return bytes;
}

QStringList TextElements(const QByteArray& svg)
{
    QStringList texts;
    QXmlStreamReader xml(svg);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("text"))
            texts << xml.readElementText();
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return texts;
}

}  // namespace

TEST(VectorPage, EveryTextIsATextInTheSvgAndInThePdf)
{
    StubSettings stub(true);
    TVectorTarget vector(1110, 720);
    ForgetGlyphs();
    {
        TDrawing drawing;
        const q01::Bytes bytes = Texts();
        ASSERT_TRUE(drawing.Load(bytes.data(), bytes.size()).Complete);
        drawing.Paint(vector, stub.settings);
    }
    // The page and the texts' widths keep the pins' labels when the pins are gone.
    const int widthOfClk = FontTextWidth(stub.PinStrFont(), "CLK");
    ForgetGlyphs();
    EXPECT_EQ(FontTextWidth(stub.PinStrFont(), "CLK"), widthOfClk);
    const QByteArray svg = vector.Svg();
    EXPECT_TRUE(svg.contains("viewBox=\"0 0 1110 720\""));
    EXPECT_EQ(TextElements(svg), (QStringList{"1",
                                              "1",
                                              "2",
                                              "2",
                                              "3",
                                              "3",
                                              "4",
                                              "4",
                                              "A",
                                              "A",
                                              "B",
                                              "B",
                                              "C",
                                              "C",
                                              "D",
                                              "D",
                                              "R17",
                                              "0805",
                                              "1",
                                              "2",
                                              "IN",
                                              "CLK",
                                              "TEST POINT & <A>",
                                              "Title: Amplifier",
                                              "Rev B"}));
    // The turned pin name of the top pin reads upwards.
    EXPECT_TRUE(svg.contains("rotate(-90)\" x=\"0\""));
    EXPECT_TRUE(svg.contains("font-family=\"Arial Narrow"));

    // The PDF: searchable text and no page-sized picture, with the faces
    // embedded as TrueType fonts and as Type 3 outlines.
    QTemporaryDir dir;
    const auto run = [](const QString& tool, const QStringList& arguments) {
        QProcess process;
        process.start(tool, arguments);
        EXPECT_TRUE(process.waitForFinished(30000));
        return QString::fromUtf8(process.readAllStandardOutput());
    };
    for (const bool outlines : {false, true}) {
        const QString pdf = dir.filePath(outlines ? QStringLiteral("outlines.pdf") : QStringLiteral("texts.pdf"));
        TPdfFonts::SetOutlinesOnly(outlines);
        TDrawingOutputs::WritePdf(pdf, QStringLiteral("texts.q01"), vector);
        TPdfFonts::SetOutlinesOnly(false);
        const QString extracted = run(QStringLiteral("pdftotext"), {QStringLiteral("-raw"), pdf, QStringLiteral("-")});
        for (const char* expected : {"R17", "0805", "TEST POINT & <A>", "Title: Amplifier", "Rev B", "CLK"})
            EXPECT_TRUE(extracted.contains(QLatin1String(expected))) << expected << " in " << extracted.toStdString();
        EXPECT_EQ(
            run(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf}).split(u'\n', Qt::SkipEmptyParts).size(), 2)
            << "only the heading lines of the list, no picture";
        const QString fonts = run(QStringLiteral("pdffonts"), {pdf});
        EXPECT_EQ(fonts.count(outlines ? QStringLiteral("Type 3")
                                       : QStringLiteral("CID TrueType      Identity-H       yes yes yes")),
                  2)
            << fonts.toStdString();  // the frame's labels and the rest
    }
}

TEST(VectorPage, ThePdfOfADensePageOfSmallFontsKeepsEveryTextFindable)
{
    // 186,000 characters, most narrower than 3 points on paper: a reader
    // built on poppler keeps 50,000 of those, and finds the rest through
    // the text their spans are marked with.
    StubSettings stub(true);
    TDrawing drawing;
    const q01::Bytes bytes = q01::DenseSheet(q01::DenseA0());
    ASSERT_TRUE(drawing.Load(bytes.data(), bytes.size()).Complete);
    const QSize page = drawing.Page().Size;
    TVectorTarget vector(page.width(), page.height());
    drawing.Paint(vector, stub.settings);
    QStringList designations, annotations;
    for (const QString& text : TextElements(vector.Svg())) {
        if (text.size() > 1 && text[0] == u'U' && text[1].isDigit()) designations << text;
        if (text.startsWith(u'N')) annotations << QString(text).remove(u' ');
    }
    ASSERT_EQ(designations.size(), 2000);  // (U1580:B, the second part)
    ASSERT_EQ(annotations.size(), 1000);

    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("dense.pdf"));
    TDrawingOutputs::WritePdf(pdf, QStringLiteral("dense.q01"), vector);
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {QStringLiteral("-raw"), pdf, QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished(60000));
    const QString extracted = QString::fromUtf8(text.readAllStandardOutput());
    const QStringList wordList = extracted.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    const QSet<QString> words(wordList.begin(), wordList.end());
    const QString joined = QString(extracted).remove(QRegularExpression(QStringLiteral("\\s")));
    int foundDesignations = 0, foundAnnotations = 0;
    for (const QString& wanted : designations) foundDesignations += words.contains(wanted);
    for (const QString& wanted : annotations) foundAnnotations += joined.contains(wanted);
    EXPECT_EQ(foundDesignations, 2000);
    EXPECT_EQ(foundAnnotations, 1000);
}

TEST(VectorPage, AFontNameXmlCannotHoldStillGivesAWellFormedDocument)
{
    // A font name read from a damaged settings file: a noncharacter, a lone
    // surrogate half and a control character around a proper surrogate pair.
    TVectorTarget vector(100, 50);
    vector.Font.Face = QString::fromUtf16(
        u"Bad\uFFFE\xD800"
        u"Face\x01\U0001F600");
    vector.TextOut(10, 10,
                   QByteArray("R\x01"
                              "1 & 2"));
    const QByteArray svg = vector.Svg();
    EXPECT_EQ(TextElements(svg), QStringList{QStringLiteral("R1 & 2")});
    EXPECT_TRUE(svg.contains("font-family=\"BadFace\xF0\x9F\x98\x80")) << svg.toStdString();
}

TEST(VectorPage, ADensePagePaintedAndWrittenOnSeveralThreadsIsTheDocumentOneThreadMakes)
{
    // A tenth of the dense A0 sheet: long runs of one style (the parts must
    // not begin inside one), texts between them and fonts taking turns.
    StubSettings stub(true);
    TDrawing drawing;
    const q01::Bytes bytes = q01::DenseSheet(q01::DenseA2());
    ASSERT_TRUE(drawing.Load(bytes.data(), bytes.size()).Complete);
    TVectorTarget vector(drawing.Page().Size.width(), drawing.Page().Size.height());
    drawing.Paint(vector, stub.settings);
    ASSERT_GE(vector.ShapeCount(), 4u * 16384) << "enough shapes for four parts";

    TVectorTarget::SetWriteThreads(1);
    const QByteArray serial = vector.Svg();
    TVectorTarget::SetWriteThreads(4);
    const QByteArray parallel = vector.Svg();
    QBuffer written;  // piece by piece into a file
    written.open(QIODevice::WriteOnly);
    EXPECT_TRUE(vector.WriteSvg(written));
    TVectorTarget::SetWriteThreads(0);
    ASSERT_EQ(parallel.size(), serial.size());
    EXPECT_TRUE(parallel == serial);
    EXPECT_TRUE(written.data() == serial);
    EXPECT_TRUE(serial.endsWith("</text>\n</svg>\n"));

    // Painted with the bodies' boxes made on the paint's own thread, not
    // ahead on another, the page is the same.
    TVectorTarget::SetWriteThreads(1);
    TVectorTarget alone(drawing.Page().Size.width(), drawing.Page().Size.height());
    drawing.Paint(alone, stub.settings);
    const QByteArray aloneSvg = alone.Svg();
    TVectorTarget::SetWriteThreads(0);
    EXPECT_TRUE(aloneSvg == serial);
}

TEST(VectorPage, StrokesOffTheTopLeftKeepTheirSignsAndHalves)
{
    // Pixel centres left of and above the page, and a slanted end that is
    // neither whole nor half.
    TVectorTarget vector(20, 20);
    vector.Pen.Width = 1;
    vector.MoveTo(-3, 2);
    vector.LineTo(6, 2);
    vector.MoveTo(-1, -4);
    vector.LineTo(-1, 8);
    vector.MoveTo(0, 12);
    vector.LineTo(7, 15);
    EXPECT_TRUE(vector.Svg().contains(" d=\"M-2.5 2.5L5.5 2.5M-0.5 -3.5L-0.5 7.5M0.5 12.5L6.5 15.07\"/>\n"))
        << vector.Svg().toStdString();
}
