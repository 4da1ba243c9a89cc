// Cutting a drawing file into records: the length of every record kind, the
// counts inside document box and component records, and what the builder
// writes for each kind.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "Q01Builder.h"
#include "drawing/Annotate.h"
#include "drawing/Docbox.h"
#include "drawing/Junction.h"
#include "drawing/Linedata.h"
#include "drawing/Module_0x60.h"
#include "drawing/Quorvidobject.h"

namespace {

std::int64_t LengthOf(const q01::Bytes& bytes) { return RecordLength(bytes.data(), bytes.size()); }

// A component record head with its counts set: c parts (byte 44), p pins
// (byte 49), a body picture of f1 * f2 bytes (16-bit values at 28 and 30).
q01::Bytes ComponentHead(std::uint8_t c, std::uint8_t p, std::uint16_t f1, std::uint16_t f2)
{
    q01::Bytes head = q01::Blank(0x70, 64);
    q01::PutU16(head, 28, f1);
    q01::PutU16(head, 30, f2);
    head[44] = c;
    head[49] = p;
    return head;
}

}  // namespace

TEST(Framing, FixedLengthRecordKinds)
{
    EXPECT_EQ(LengthOf(q01::Header(0)), 16);
    EXPECT_EQ(LengthOf(q01::Line(1, 2, 3, 4, 1)), 16);
    EXPECT_EQ(LengthOf(q01::Junction(1, 2)), 16);
    EXPECT_EQ(LengthOf(q01::Annotation(1, 2, 0, "abc")), 32);
    EXPECT_EQ(LengthOf(q01::Record0x40()), 16);
    EXPECT_EQ(LengthOf(q01::Marker(1, 2, 3)), 16);
}

TEST(Framing, TypeBytesOutsideTheTableHaveNoLength)
{
    for (int type : {0x01, 0x0F, 0x15, 0x31, 0x80, 0xFF}) {
        const q01::Bytes record = q01::Blank(std::uint8_t(type), 64);
        EXPECT_EQ(LengthOf(record), -1) << "type " << type;
    }
    const std::uint8_t none = 0x10;
    EXPECT_EQ(RecordLength(&none, 0), -1);
}

TEST(Framing, DocumentBoxLengthFollowsItsBlockCount)
{
    EXPECT_EQ(LengthOf(q01::DocBoxRaw(0, 0, 10, 10, {}, 0)), 16);
    EXPECT_EQ(LengthOf(q01::DocBoxRaw(0, 0, 10, 10, q01::Bytes(48, 'a'), 3)), 64);
    EXPECT_EQ(LengthOf(q01::DocBoxRaw(0, 0, 10, 10, {}, 255)), 16 + 16 * 255);
    // The builder's own count: two lines of "abc\r\n" fill one block.
    EXPECT_EQ(LengthOf(q01::DocBox(0, 0, 10, 10, {"abc", "defgh"})), 32);
    // Fewer bytes than a head: the count cannot be read.
    q01::Bytes cut = q01::DocBoxRaw(0, 0, 10, 10, {}, 7);
    cut.resize(10);
    EXPECT_EQ(LengthOf(cut), 16);
}

TEST(Framing, ComponentLengthFollowsPartsPinsAndPicture)
{
    EXPECT_EQ(LengthOf(ComponentHead(0, 0, 0, 0)), 64);
    // Two parts share a block: 3 parts take two blocks.
    EXPECT_EQ(LengthOf(ComponentHead(3, 0, 0, 0)), 64 + 32);
    EXPECT_EQ(LengthOf(ComponentHead(2, 0, 0, 0)), 64 + 16);
    EXPECT_EQ(LengthOf(ComponentHead(0, 5, 0, 0)), 64 + 80);
    // A picture of 3 x 7 = 21 bytes takes two blocks, 16 x 2 = 32 exactly two.
    EXPECT_EQ(LengthOf(ComponentHead(0, 0, 3, 7)), 64 + 32);
    EXPECT_EQ(LengthOf(ComponentHead(0, 0, 16, 2)), 64 + 32);
    EXPECT_EQ(LengthOf(ComponentHead(3, 5, 3, 7)), 64 + 32 + 80 + 32);
    // The largest counts do not overflow.
    const std::int64_t picture = (std::int64_t(65535) * 65535 + 15) / 16 * 16;
    EXPECT_EQ(LengthOf(ComponentHead(255, 255, 65535, 65535)), 64 + 16 * 128 + 16 * 255 + picture);
}

TEST(Framing, ComponentHeadCutShortReportsTheHeadLength)
{
    q01::Bytes head = ComponentHead(9, 9, 100, 100);
    head.resize(50);
    EXPECT_EQ(LengthOf(head), 64);
}

TEST(Framing, TruncatedRecordsNeedMoreThanIsAvailable)
{
    q01::Bytes annotation = q01::Annotation(1, 2, 0, "abcdefghij");
    annotation.resize(20);
    EXPECT_GT(LengthOf(annotation), std::int64_t(annotation.size()));

    q01::Bytes box = q01::DocBox(0, 0, 10, 10, {"one", "two", "three"});
    box.resize(box.size() - 1);
    EXPECT_GT(LengthOf(box), std::int64_t(box.size()));

    q01::Bytes line = q01::Line(1, 2, 3, 4, 1);
    line.resize(15);
    EXPECT_GT(LengthOf(line), std::int64_t(line.size()));
}

TEST(Framing, StreamOfRecordsIsWalkedToItsExactEnd)
{
    q01::Drawing drawing;
    drawing += q01::Header(0);
    drawing += q01::Line(10, 20, 200, 20, 3);
    drawing += q01::Junction(100, 50);
    drawing += q01::Record0x40();
    drawing += q01::Annotation(200, 100, 2, "R1 10k 5%");
    drawing += q01::DocBox(40, 30, 300, 120, {"Title", "Rev A"});
    drawing += q01::Marker(300, 200, 6);
    const q01::Bytes& data = drawing;

    const std::uint8_t* pos = data.data();
    const std::uint8_t* end = pos + data.size();
    std::vector<std::unique_ptr<QuorvidObject>> objects;
    std::vector<std::uint8_t> types;
    while (pos < end) {
        const std::int64_t length = RecordLength(pos, std::size_t(end - pos));
        ASSERT_GT(length, 0);
        ASSERT_LE(length, end - pos);
        const std::uint8_t* start = pos;
        types.push_back(*pos);
        switch (*pos) {
        case 0x10: objects.push_back(std::make_unique<LineData>(pos, end)); break;
        case 0x20: objects.push_back(std::make_unique<Junction>(pos, end)); break;
        case 0x30: objects.push_back(std::make_unique<Annotate>(pos, end)); break;
        case 0x50: objects.push_back(std::make_unique<DocBox>(pos, end)); break;
        case 0x60: objects.push_back(std::make_unique<Mod0x60>(pos, end)); break;
        default: pos += length; break;
        }
        EXPECT_EQ(pos - start, length) << "type " << int(types.back());
    }
    EXPECT_EQ(pos, end);
    EXPECT_EQ(types, (std::vector<std::uint8_t>{0x00, 0x10, 0x20, 0x40, 0x30, 0x50, 0x60}));
    EXPECT_EQ(objects.size(), 5u);
}

TEST(Builder, WritesTheBytesOfEachRecordKind)
{
    EXPECT_EQ(q01::Header(4), (q01::Bytes{0x00, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(q01::Line(10, 20, 200, 20, 3),
              (q01::Bytes{0x10, 0x0A, 0x00, 0x14, 0x00, 0xC8, 0x00, 0x14, 0x00, 0x03, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(q01::Junction(0x1234, 0xFFFF),
              (q01::Bytes{0x20, 0x34, 0x12, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(q01::Marker(300, 200, 6), (q01::Bytes{0x60, 0x2C, 0x01, 0xC8, 0x00, 0, 6, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(q01::Record0x40(), q01::Blank(0x40));
}

TEST(Builder, AnnotationTextSkipsTheFirstByteOfTheSecondBlock)
{
    const q01::Bytes record = q01::Annotation(200, 100, 2, "abcdefghij");
    ASSERT_EQ(record.size(), 32u);
    EXPECT_EQ(record[5], 2);
    EXPECT_EQ(record[8], 10);
    EXPECT_EQ(std::string(record.begin() + 9, record.begin() + 16), "abcdefg");
    EXPECT_EQ(record[16], 0x30);
    EXPECT_EQ(std::string(record.begin() + 17, record.begin() + 20), "hij");
    EXPECT_EQ(record[20], 0);
    // Longer texts are cut to 22 characters.
    EXPECT_EQ(q01::Annotation(0, 0, 0, std::string(40, 'x'))[8], 22);
}

TEST(Builder, DocumentBoxTextIsPaddedToWholeBlocks)
{
    const q01::Bytes record = q01::DocBox(40, 30, 300, 120, {"Title", "Rev A"}, "\x8D\n");
    ASSERT_EQ(record.size(), 32u);
    EXPECT_EQ(record[12], 1);
    const std::string text(record.begin() + 16, record.end());
    EXPECT_EQ(text, std::string("Title\x8D\nRev A\x8D\n\0\0", 16));
}
