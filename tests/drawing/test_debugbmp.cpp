// The component inspector: what an inspection shows and adds to the table,
// the part export file byte for byte, and where the table is written at the
// end of a run.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <set>
#include <utility>

#include "Q01Component.h"
#include "ScriptedDialogs.h"
#include "drawing/Bitmap.h"
#include "drawing/Debugbmp.h"

namespace {

using q01::Component;
using q01::ComponentPart;
using q01::ComponentPin;

std::unique_ptr<Bitmap> Build(const Component& c)
{
    const q01::Bytes data = q01::ComponentRecord(c);
    const std::uint8_t* pos = data.data();
    return std::make_unique<Bitmap>(pos, data.data() + data.size());
}

// A 2 x 3 unit body (21 x 31 pixels) with a picture holding ink at body
// (0, 0), (5, 2) and (20, 30), and two pins: Right at offset 1, Left at 2.
Component PictureBody(std::uint8_t rotation)
{
    Component c;
    c.designation = "U7";
    c.packageText = "DIP14";
    c.valueText = "74HC00";
    c.rotation = rotation;
    std::vector<std::string> rows(31, std::string(21, '.'));
    rows[0][0] = rows[2][5] = rows[30][20] = '#';
    c.parts = {ComponentPart{q01::AddPicture(c, q01::PartPicture(7, rows)), 2, 3}};
    ComponentPin right;
    right.side = q01::sideRight;
    right.offsetUnits = 1;
    right.number = "1";
    right.name = "A";
    ComponentPin left;
    left.side = q01::sideLeft;
    left.offsetUnits = 2;
    left.number = "2";
    left.name = "CLK";
    left.electricalType = 1;
    c.pins = {right, left};
    return c;
}

// A 2 x 3 unit body without picture and without pins.
Component OutlineBody(const std::string& designation, std::uint8_t rotation, bool hFlip)
{
    Component c;
    c.designation = designation;
    c.packageText = "0805";
    c.valueText = "10k";
    c.rotation = rotation;
    c.hFlip = hFlip;
    c.parts = {ComponentPart{0, 2, 3}};
    return c;
}

// BITMAP rows of a w x h body whose only non-background pixels are `ink` (column, row).
QByteArray Rows(int w, int h, const std::set<std::pair<int, int>>& ink)
{
    QByteArray text;
    for (int y = 0; y < h; ++y) {
        text += QString::asprintf("{%3d}", y).toLatin1();
        for (int x = 0; x < w; ++x) text += ink.count({x, y}) ? '#' : '.';
        text += "\r\n";
    }
    return text;
}

QByteArray Lines(std::initializer_list<const char*> lines)
{
    QByteArray text;
    for (const char* line : lines) text += QByteArray(line) + "\r\n";
    return text;
}

QByteArray FileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void Put(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QString Native(const QString& path) { return QDir::toNativeSeparators(path); }

const QByteArray Header = "Name,Value,Package,Strange,\"H Flip\",\"V Flip\",Angle,Rows,Columns,Comments\r\n";

// The inspector in a fresh current directory, with scripted dialogs.
class Inspector : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        previousDir = QDir::currentPath();
        QDir::setCurrent(dir.path());
    }
    void TearDown() override { QDir::setCurrent(previousDir); }

    // One inspection; `during` runs while the window is shown.
    void Inspect(Bitmap& b, const std::function<void()>& during = {})
    {
        dialogs.OnModal = [&](QDialog& shown) {
            EXPECT_EQ(&shown, &window);
            if (during) during();
        };
        window.Inspect(b);
        dialogs.OnModal = nullptr;
    }

    // The part export file of a component, chosen as `name` in the save dialog.
    QByteArray Export(Bitmap& b, const QString& name = QStringLiteral("part.txt"))
    {
        dialogs.SaveFiles.push_back(dir.filePath(name));
        Inspect(b, [&] { window.btnExport->click(); });
        return FileBytes(dir.filePath(name));
    }

    QTemporaryDir dir;
    QString previousDir;
    TScriptedDialogs dialogs;
    TfrmBmpDebug window;
};

}  // namespace

// ---------------------------------------------------------------------------
// Part export file

TEST_F(Inspector, ExportOfA21By31BodyAtRotation0)
{
    auto b = Build(PictureBody(0));
    const QByteArray expected = Lines({"'U7'", "'DIP14'", "2 3 1", "PARTS", "1 2 3", "R1   1    'A'         IN",
                                       "L2   2    'CLK'         OUT", "", "BITMAP"}) +
                                // picture ink, then the pin lines' edge pixels
                                Rows(21, 31, {{0, 0}, {5, 2}, {20, 30}, {20, 10}, {0, 20}});
    EXPECT_EQ(Export(*b), expected);
    EXPECT_TRUE(dialogs.Questions.isEmpty());
}

TEST_F(Inspector, ExportAtRotation1IsTurnedWith21RowsOf31)
{
    auto b = Build(PictureBody(1));
    // Body (x, y) shows at column y, row 20 - x.
    const QByteArray expected = Lines({"'U7'", "'DIP14'", "3 2 1", "PARTS", "1 3 2", "R1   1    'A'         IN",
                                       "L2   2    'CLK'         OUT", "", "BITMAP"}) +
                                Rows(31, 21, {{0, 20}, {2, 15}, {30, 0}, {10, 0}, {20, 20}});
    EXPECT_EQ(Export(*b), expected);
}

TEST_F(Inspector, ExportAtHalfAndThreeQuarterTurnsAndWithFlipsIsTheTransformedBody)
{
    // Picture ink (0, 0), (5, 2), (20, 30) and the pins' edge pixels (20, 10)
    // and (0, 20) of the 21 x 31 body, as each orientation shows them.
    const std::pair<int, int> body[5] = {{0, 0}, {5, 2}, {20, 30}, {20, 10}, {0, 20}};
    struct Case {
        std::uint8_t rotation;
        bool hFlip;
        bool turned;  // 31 wide, 21 high
        std::function<std::pair<int, int>(int, int)> shown;
    };
    const Case cases[] = {
        {2, false, false, [](int x, int y) { return std::make_pair(20 - x, 30 - y); }},
        {3, false, true, [](int x, int y) { return std::make_pair(30 - y, x); }},
        {0, true, false, [](int x, int y) { return std::make_pair(20 - x, y); }},
        {3, true, true, [](int x, int y) { return std::make_pair(y, x); }},
        // A flipped half turn is kept as a top-bottom mirror.
        {2, true, false, [](int x, int y) { return std::make_pair(x, 30 - y); }},
    };
    for (const Case& c : cases) {
        Component component = PictureBody(c.rotation);
        component.hFlip = c.hFlip;
        auto b = Build(component);
        std::set<std::pair<int, int>> ink;
        for (const auto& [x, y] : body) ink.insert(c.shown(x, y));
        const QByteArray expected =
            Lines({"'U7'", "'DIP14'", c.turned ? "3 2 1" : "2 3 1", "PARTS", c.turned ? "1 3 2" : "1 2 3",
                   "R1   1    'A'         IN", "L2   2    'CLK'         OUT", "", "BITMAP"}) +
            (c.turned ? Rows(31, 21, ink) : Rows(21, 31, ink));
        const QString name = QString("part%1%2.txt").arg(c.rotation).arg(c.hFlip ? "f" : "");
        EXPECT_EQ(Export(*b, name), expected) << "rotation " << int(c.rotation) << (c.hFlip ? " flipped" : "");
    }
}

TEST_F(Inspector, OutlineBodyWithoutPinsExportsItsBorderAndAnEmptyPinList)
{
    auto b = Build(OutlineBody("R2", 0, false));
    std::set<std::pair<int, int>> border;
    for (int x = 0; x < 21; ++x) border.insert({x, 0}), border.insert({x, 30});
    for (int y = 0; y < 31; ++y) border.insert({0, y}), border.insert({20, y});
    EXPECT_EQ(Export(*b), Lines({"'R2'", "'0805'", "2 3 1", "PARTS", "1 2 3", "", "BITMAP"}) + Rows(21, 31, border));
}

TEST_F(Inspector, ComponentTooLargeForTheMemoryBudgetExportsItsOutline)
{
    const std::uint64_t budget = Bitmap::RasterBudget();
    Bitmap::SetRasterBudget(1000);  // less than any body raster
    auto b = Build(OutlineBody("R2", 0, false));
    Bitmap::SetRasterBudget(budget);
    ASSERT_TRUE(b->IsSimplified());
    std::set<std::pair<int, int>> border;
    for (int x = 0; x < 21; ++x) border.insert({x, 0}), border.insert({x, 30});
    for (int y = 0; y < 31; ++y) border.insert({0, y}), border.insert({20, y});
    EXPECT_EQ(Export(*b), Lines({"'R2'", "'0805'", "2 3 1", "PARTS", "1 2 3", "", "BITMAP"}) + Rows(21, 31, border));
}

TEST_F(Inspector, ExportToAnExistingFileAsksAndWritesOnlyOnYes)
{
    auto b = Build(OutlineBody("R2", 0, false));
    const QString path = dir.filePath("part.txt");
    Put(path, "old");
    dialogs.SaveFiles = {path, path, std::nullopt};
    dialogs.YesNo = {false, true};
    QByteArray afterNo;
    Inspect(*b, [&] {
        window.btnExport->click();
        afterNo = FileBytes(path);
        window.btnExport->click();
        window.btnExport->click();  // save dialog cancelled
    });
    EXPECT_EQ(afterNo, "old");
    const QString question = "Overwrite existing file '" + Native(path) + "' ?";
    EXPECT_EQ(dialogs.Questions, QStringList({question, question}));
    EXPECT_TRUE(FileBytes(path).startsWith("'R2'\r\n'0805'\r\n2 3 1\r\n"));
    EXPECT_TRUE(window.CsvLines().size() == 1) << "exporting adds no row";
}

// ---------------------------------------------------------------------------
// Inspections and the table

TEST_F(Inspector, InspectionsEndedWithNextOrOkAddRowsOthersDoNot)
{
    auto plain = Build(PictureBody(0));
    Component spaced = PictureBody(0);
    spaced.designation = "U 7";
    auto a = Build(spaced);
    auto h = Build(OutlineBody("R2", 3, true));  // quarter turn clockwise, mirrored
    auto v = Build(OutlineBody("R3", 2, true));  // half turn mirrored: a top-bottom mirror

    Inspect(*a, [&] {
        EXPECT_EQ(window.leDesig->text(), "U 7");
        EXPECT_EQ(window.leValue->text(), "74HC00");
        EXPECT_EQ(window.lePackage->text(), "DIP14");
        EXPECT_EQ(window.leStrange->text(), "7");
        EXPECT_FALSE(window.cbHflip->isChecked());
        EXPECT_EQ(window.AngleIndex(), 0);
        EXPECT_EQ(window.Image1->pixmap().size(), QSize(101, 111));
        window.leComment->setText("say \"hi\", ok");
        window.btnClose->click();
    });
    Inspect(*h, [&] {
        EXPECT_TRUE(window.cbHflip->isChecked());
        EXPECT_FALSE(window.cbVflip->isChecked());
        EXPECT_EQ(window.AngleIndex(), 3);
        EXPECT_EQ(window.leComment->text(), "say \"hi\", ok") << "the comment stays";
        window.btnOk->click();
    });
    Inspect(*v, [&] { window.btnOk->click(); });
    Inspect(*plain);  // closed without Next or OK
    ASSERT_TRUE(window.HasRows());

    EXPECT_EQ(window.WriteTable("amp.q01"), dir.filePath("amp.csv"));
    EXPECT_EQ(FileBytes("amp.csv"), Header + Lines({"\"U 7\",74HC00,DIP14,7,,,0,21,31,\"say \"\"hi\"\", ok\"",
                                                    "R2,10k,0805,0,X,,3,31,21,OK", "R3,10k,0805,0,,X,0,21,31,OK"}));
    EXPECT_TRUE(dialogs.AllTexts.isEmpty());
}

TEST_F(Inspector, TableFileIsTheCaptionWithItsExtensionReplaced)
{
    EXPECT_EQ(TfrmBmpDebug::TableFileName("amp.q01"), "amp.csv");
    EXPECT_EQ(TfrmBmpDebug::TableFileName("Form1"), "Form1.csv");
    EXPECT_EQ(TfrmBmpDebug::TableFileName("a.b.q01"), "a.b.csv");
    EXPECT_EQ(TfrmBmpDebug::CsvHeader() + "\r\n", QString::fromLatin1(Header));
}

TEST_F(Inspector, RunWithoutAnEndedInspectionWritesNoTable)
{
    auto b = Build(OutlineBody("R2", 0, false));
    Inspect(*b);
    window.btnOk->click();  // after the window has closed: no inspection to end
    EXPECT_FALSE(window.HasRows());
    window.SaveTableAtExit("amp.q01");
    EXPECT_FALSE(QFile::exists(dir.filePath("amp.csv")));
}

TEST_F(Inspector, RowsAreAppendedToAnEarlierTable)
{
    auto b = Build(OutlineBody("R2", 0, false));
    const auto ok = [&] { window.btnOk->click(); };
    Put(dir.filePath("amp.csv"), Header + "old");  // last line without its line end
    Inspect(*b, ok);
    window.WriteTable("amp.q01");
    Inspect(*b, ok);
    Inspect(*b, ok);
    window.WriteTable("amp.q01");
    EXPECT_EQ(window.WriteTable("amp.q01"), QString()) << "nothing new to write";
    const QByteArray row = "R2,10k,0805,0,,,0,21,31,OK\r\n";
    EXPECT_EQ(FileBytes("amp.csv"), Header + "old\r\n" + row + row + row);
    EXPECT_TRUE(dialogs.AllTexts.isEmpty());
}

TEST_F(Inspector, AForeignFileOfTheSameNameIsKeptAndTheTableGoesToTheFirstFreeName)
{
    auto b = Build(OutlineBody("R2", 0, false));
    Inspect(*b, [&] { window.btnOk->click(); });
    Put(dir.filePath("amp.csv"), "Part,Qty\r\n1,2\r\n");
    Put(dir.filePath("amp-2.csv"), "");
    EXPECT_EQ(window.WriteTable("amp.q01"), dir.filePath("amp-3.csv"));
    EXPECT_EQ(FileBytes("amp.csv"), "Part,Qty\r\n1,2\r\n");
    EXPECT_EQ(FileBytes("amp-2.csv"), "");
    EXPECT_EQ(FileBytes("amp-3.csv"), Header + "R2,10k,0805,0,,,0,21,31,OK\r\n");
    EXPECT_EQ(dialogs.Messages, QStringList("'" + Native(dir.filePath("amp.csv")) +
                                            "' holds other data and was left unchanged.\n"
                                            "The inspection table was written to '" +
                                            Native(dir.filePath("amp-3.csv")) + "'."));
}

TEST_F(Inspector, ATableThatCannotBeWrittenIsReportedInTheErrorBox)
{
    auto b = Build(OutlineBody("R2", 0, false));
    Inspect(*b, [&] { window.btnOk->click(); });
    window.SaveTableAtExit("missing/amp.q01");  // its folder does not exist
    EXPECT_EQ(dialogs.Errors, QStringList("Cannot create file " + Native(dir.filePath("missing/amp.csv"))));
    EXPECT_THROW(window.WriteTable("missing/amp.q01"), EFileError);
}
