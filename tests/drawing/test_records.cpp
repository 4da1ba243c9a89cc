// Reading line, junction, annotation, document box and marker records.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "Q01Builder.h"
#include "drawing/Annotate.h"
#include "drawing/Docbox.h"
#include "drawing/Junction.h"
#include "drawing/Linedata.h"
#include "drawing/Module_0x60.h"

using q01::operator+=;

namespace {

// Builds an object from the bytes and checks that it consumed all of them.
template <class T>
T Read(const q01::Bytes& bytes)
{
    const std::uint8_t* pos = bytes.data();
    T object(pos, bytes.data() + bytes.size());
    EXPECT_EQ(pos, bytes.data() + bytes.size());
    return object;
}

std::vector<QByteArray> LinesOf(const q01::Bytes& text, int blocks = -1)
{
    return Read<DocBox>(q01::DocBoxRaw(0, 0, 100, 100, text, blocks)).Lines();
}

q01::Bytes Text(const std::string& s) { return q01::Bytes(s.begin(), s.end()); }

// A fresh buffer of exactly the first n bytes, so that reading further
// leaves the allocation.
q01::Bytes Cut(const q01::Bytes& bytes, std::size_t n)
{
    return q01::Bytes(bytes.begin(), bytes.begin() + std::ptrdiff_t(n));
}

}  // namespace

TEST(Records, LineReadsItsPointsAndType)
{
    const q01::Bytes bytes{0x10, 0x0A, 0x00, 0x14, 0x00, 0xC8, 0x00, 0x14, 0x00, 0x03, 1, 2, 3, 4, 5, 6};
    const LineData line = Read<LineData>(bytes);
    EXPECT_EQ(line.X1(), 10);
    EXPECT_EQ(line.Y1(), 20);
    EXPECT_EQ(line.X2(), 200);
    EXPECT_EQ(line.Y2(), 20);
    EXPECT_EQ(line.LineType(), 3);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), line.Record().begin()));
}

TEST(Records, CoordinatesAreUnsigned)
{
    const LineData line = Read<LineData>(q01::Line(65535, 40000, 0, 32768, 255));
    EXPECT_EQ(line.X1(), 65535);
    EXPECT_EQ(line.Y1(), 40000);
    EXPECT_EQ(line.Y2(), 32768);
    EXPECT_EQ(line.LineType(), 255);
    const Mod0x60 marker = Read<Mod0x60>(q01::Marker(300, 200, 255));
    EXPECT_EQ(marker.X(), 300);
    EXPECT_EQ(marker.Y(), 200);
    EXPECT_EQ(marker.Radius(), 255);
    const Junction junction = Read<Junction>(q01::Junction(100, 50));
    EXPECT_EQ(junction.X(), 100);
    EXPECT_EQ(junction.Y(), 50);
}

TEST(Records, ConstructorsStopAtTheEndOfTheirRecord)
{
    q01::Bytes two = q01::Line(1, 2, 3, 4, 5);
    two += q01::Junction(6, 7);
    const std::uint8_t* pos = two.data();
    const LineData line(pos, two.data() + two.size());
    EXPECT_EQ(pos, two.data() + 16);
    const Junction junction(pos, two.data() + two.size());
    EXPECT_EQ(pos, two.data() + 32);
    EXPECT_EQ(junction.X(), 6);
}

TEST(Records, CutRecordIsReadOnlyUpToTheEnd)
{
    const LineData cut = Read<LineData>(Cut(q01::Line(0x1234, 2, 3, 4, 5), 3));
    EXPECT_EQ(cut.X1(), 0x1234);
    EXPECT_EQ(cut.Y1(), 0);

    EXPECT_EQ(Read<Annotate>(Cut(q01::Annotation(1, 2, 0, "abcdefghijkl"), 18)).Text().AsText(),
              QByteArray("abcdefgh"));

    EXPECT_EQ(Read<DocBox>(Cut(q01::DocBox(1, 2, 3, 4, {"one", "two"}), 16 + 5)).Lines(),
              (std::vector<QByteArray>{"one"}));
}

TEST(Records, AnnotationOfFiveCharacters)
{
    q01::Bytes bytes = q01::AnnotationRaw(5, 6, 1, 5, "HelloWorldAgain");
    EXPECT_EQ(Read<Annotate>(bytes).Text().AsText(), QByteArray("Hello"));
}

TEST(Records, AnnotationRunsAcrossTheBlockBoundary)
{
    q01::Bytes bytes = q01::Blank(0x30, 32);
    bytes[8] = 10;
    q01::PutChars(bytes, 9, "1234567");
    bytes[16] = 0x30;
    q01::PutChars(bytes, 17, "890");
    const Annotate annotation = Read<Annotate>(bytes);
    EXPECT_EQ(annotation.Text().AsText(), QByteArray("1234567890"));
    EXPECT_EQ(annotation.Text().Length(), 10);
}

TEST(Records, AnnotationOfTwentyTwoCharacters)
{
    const std::string text = "ABCDEFGHIJKLMNOPQRSTUV";
    EXPECT_EQ(Read<Annotate>(q01::Annotation(0, 0, 0, text)).Text().AsText(), QByteArray(text.c_str()));
}

TEST(Records, EmptyAnnotation)
{
    const Annotate annotation = Read<Annotate>(q01::AnnotationRaw(0, 0, 0, 0, "abc"));
    EXPECT_TRUE(annotation.Text().IsEmpty());
    EXPECT_EQ(annotation.Text().AsText(), QByteArray());
}

TEST(Records, AnnotationLengthBeyondTheRecordShowsTwentyTwoCharacters)
{
    const std::string text = "ABCDEFGHIJKLMNOPQRSTUV";
    for (int length : {23, 200, 255}) {
        const Annotate annotation = Read<Annotate>(q01::AnnotationRaw(0, 0, 0, std::uint8_t(length), text));
        EXPECT_EQ(annotation.Text().AsText(), QByteArray(text.c_str())) << length;
    }
}

TEST(Records, AnnotationWithAZeroInTheSkippedByteKeepsSevenCharacters)
{
    // The skipped byte is dropped after the text was read as a text, and a
    // zero byte ends a text.
    const Annotate annotation = Read<Annotate>(q01::AnnotationRaw(0, 0, 0, 10, "1234567890", 0x00));
    EXPECT_EQ(annotation.Text().AsText(), QByteArray("1234567"));
}

TEST(Records, AnnotationReadsItsAnchorAndFontChoice)
{
    const Annotate annotation = Read<Annotate>(q01::Annotation(200, 100, 2, "x"));
    EXPECT_EQ(annotation.X(), 200);
    EXPECT_EQ(annotation.Y(), 100);
    EXPECT_EQ(annotation.FontChoice(), 2);
}

TEST(Records, DocBoxWithoutTextBlocks)
{
    const DocBox box = Read<DocBox>(q01::DocBox(40, 30, 300, 120, {}));
    EXPECT_EQ(box.BlockCount(), 0);
    EXPECT_TRUE(box.Lines().empty());
    EXPECT_EQ(box.X1(), 40);
    EXPECT_EQ(box.Y1(), 30);
    EXPECT_EQ(box.X2(), 300);
    EXPECT_EQ(box.Y2(), 120);
}

TEST(Records, DocBoxLinesEndedByCarriageReturnLineFeed)
{
    const DocBox box = Read<DocBox>(q01::DocBox(0, 0, 10, 10, {"First line", "Second"}));
    EXPECT_EQ(box.BlockCount(), 2);
    EXPECT_EQ(box.Lines(), (std::vector<QByteArray>{"First line", "Second"}));
    // The kept text has its line ends overwritten with zero, line feeds kept.
    const std::vector<std::uint8_t>& text = box.TextBytes();
    ASSERT_EQ(text.size(), 32u);
    EXPECT_EQ(text[10], 0);
    EXPECT_EQ(text[11], 0x0A);
}

TEST(Records, DocBoxLineEndsOf0x8DDecodeLikeCarriageReturns)
{
    EXPECT_EQ(Read<DocBox>(q01::DocBox(0, 0, 10, 10, {"one", "two"}, "\x8D\n")).Lines(),
              (std::vector<QByteArray>{"one", "two"}));
}

TEST(Records, DocBoxTextWithoutFinalLineEndLosesItsLastLine)
{
    EXPECT_EQ(LinesOf(Text("one\r\ntwo\r\nthree")), (std::vector<QByteArray>{"one", "two"}));
}

TEST(Records, DocBoxBareLineEndsDoNotRepeatALine)
{
    EXPECT_EQ(LinesOf(Text("one\rtwo\x8Dthree\r")), (std::vector<QByteArray>{"one", "two", "three"}));
}

TEST(Records, DocBoxEmptyLinesAndEarlyZeros)
{
    EXPECT_EQ(LinesOf(Text(std::string("\r\nab\0cd\r\n\r", 10))), (std::vector<QByteArray>{"", "ab", ""}));
    // A line feed alone moves the start of the next line.
    EXPECT_EQ(LinesOf(Text("skip\nkept\r")), (std::vector<QByteArray>{"kept"}));
}

TEST(Records, DocBoxLinesCanCrossBlocks)
{
    const std::string longLine(40, 'w');
    EXPECT_EQ(Read<DocBox>(q01::DocBox(0, 0, 10, 10, {longLine, "x"})).Lines(),
              (std::vector<QByteArray>{QByteArray(longLine.c_str()), "x"}));
}

TEST(Records, ArbitraryBytesAreFramedAndReadWithinTheirBuffer)
{
    std::mt19937 random(1234);
    for (int round = 0; round < 2000; ++round) {
        const std::size_t size = random() % 80;
        q01::Bytes bytes(size);
        for (std::uint8_t& b : bytes) b = std::uint8_t(random());
        if (size > 0) bytes[0] = std::uint8_t((random() % 8) * 0x10);
        if (size > 12 && bytes[0] == 0x50) bytes[12] = std::uint8_t(random() % 5);
        const std::uint8_t* pos = bytes.data();
        const std::uint8_t* end = pos + size;
        const std::int64_t length = RecordLength(pos, size);
        if (size == 0) {
            EXPECT_EQ(length, -1);
            continue;
        }
        // Constructors stop at the end of the data, whatever the record claims.
        const std::int64_t expected = std::min<std::int64_t>(length, std::int64_t(size));
        switch (bytes[0]) {
        case 0x10: LineData(pos, end); break;
        case 0x20: Junction(pos, end); break;
        case 0x30: Annotate(pos, end); break;
        case 0x50: DocBox(pos, end); break;
        case 0x60: Mod0x60(pos, end); break;
        default: continue;
        }
        EXPECT_EQ(pos - bytes.data(), expected) << "type " << int(bytes[0]) << ", " << size << " bytes";
    }
}
