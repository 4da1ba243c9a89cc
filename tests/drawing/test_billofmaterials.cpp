// The bill of materials: the whole file, byte for byte.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Q01Component.h"
#include "drawing/Billofmaterials.h"
#include "drawing/Bitmap.h"

namespace {

struct Placed {
    std::string designation, value, package;
    std::uint16_t x, y;
    std::uint8_t partNumber = 1, partCount = 1, orientation = 0;
};

std::unique_ptr<Bitmap> Make(const Placed& p)
{
    q01::Component c;
    c.designation = p.designation;
    c.valueText = p.value;
    c.packageText = p.package;
    c.anchorX = p.x, c.anchorY = p.y;
    c.partNumber = p.partNumber;
    c.parts.assign(p.partCount, q01::ComponentPart{0, 1, 1});
    c.rawOrientation = p.orientation;
    const q01::Bytes record = q01::ComponentRecord(c);
    const std::uint8_t* pos = record.data();
    return std::make_unique<Bitmap>(pos, record.data() + record.size());
}

}  // namespace

TEST(BillOfMaterials, OneRowPerPartInDesignationOrderWithQuotedUtf8Texts)
{
    // File order is not the list's order; U7 has four parts, two placed.
    const std::vector<Placed> placed{
        {"R10", "10k", "0805", 300, 200},
        {"U7", "74HC00", "SO14", 1200, 600, 2, 4},
        {"R2", "\"2,2k\" \xE9", "0603", 40, 30},
        {"Q1", "BC547", "TO92", 100, 400, 1, 1, 3 | 4},  // quarter turn clockwise, mirrored
        {"C1", "100n", "0402", 1109, 719, 1, 1, 2 | 4},  // half turn, mirrored
        {"U7", "74HC00", "SO14", 800, 600, 1, 4, 1},
        {"", "\r", "\n", 0, 0},
    };
    std::vector<std::unique_ptr<Bitmap>> owned;
    std::vector<const Bitmap*> components;
    for (const Placed& p : placed) {
        owned.push_back(Make(p));
        components.push_back(owned.back().get());
    }
    components.insert(components.begin() + 2, nullptr);

    EXPECT_EQ(BillOfMaterials(components, QSize(1110, 720)),
              "Designation,Part,Parts,Value,Package,X,Y,Zone,Angle,Mirrored\r\n"
              ",1,1,\"\r\",\"\n\",0,0,A1,0,\r\n"
              "C1,1,1,100n,0402,1109,719,D4,180,yes\r\n"
              "Q1,1,1,BC547,TO92,100,400,C1,270,yes\r\n"
              "R2,1,1,\"\"\"2,2k\"\" \xC3\xA9\",0603,40,30,A1,0,\r\n"
              "R10,1,1,10k,0805,300,200,B2,0,\r\n"
              "U7,1,4,74HC00,SO14,800,600,D3,90,\r\n"
              "U7,2,4,74HC00,SO14,1200,600,D4,0,\r\n");
    EXPECT_EQ(BillOfMaterials({}, QSize(1110, 720)),
              "Designation,Part,Parts,Value,Package,X,Y,Zone,Angle,Mirrored\r\n");
}
