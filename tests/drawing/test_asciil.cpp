// The length-prefixed text field.
#include <gtest/gtest.h>

#include "drawing/Asciil.h"

TEST(Asciil, NewFieldReadsUnassigned)
{
    const Asciil field;
    EXPECT_EQ(field.AsText(), QByteArray("<unassigned>"));
    EXPECT_EQ(field.Length(), 12);
    EXPECT_FALSE(field.IsEmpty());
}

TEST(Asciil, AssignFromLengthPrefixedBytes)
{
    const std::uint8_t bytes[] = {3, 'a', 'b', 'c', 'z', 'z'};
    Asciil field;
    field.Assign(bytes);
    EXPECT_EQ(field.AsText(), QByteArray("abc"));
    EXPECT_EQ(field.Length(), 3);
    EXPECT_FALSE(field.IsEmpty());
    EXPECT_EQ(field.Bytes(), (std::vector<std::uint8_t>{3, 'a', 'b', 'c'}));

    const std::uint8_t empty[] = {0};
    field.Assign(empty);
    EXPECT_EQ(field.AsText(), QByteArray());
    EXPECT_TRUE(field.IsEmpty());

    EXPECT_EQ(Asciil(bytes).AsText(), QByteArray("abc"));
}

TEST(Asciil, ZeroByteEndsTheTextButNotTheLength)
{
    const std::uint8_t bytes[] = {5, 'a', 'b', 0, 'd', 'e'};
    const Asciil field(bytes);
    EXPECT_EQ(field.Length(), 5);
    EXPECT_EQ(field.AsText(), QByteArray("ab"));
}

TEST(Asciil, BoundedReadCutsTheLengthToTheField)
{
    const std::uint8_t bytes[] = {200, 'a', 'b', 'c', 'd'};
    const Asciil field(bytes, 4);
    EXPECT_EQ(field.Length(), 4);
    EXPECT_EQ(field.AsText(), QByteArray("abcd"));

    Asciil other;
    other.Assign(bytes, 2);
    EXPECT_EQ(other.AsText(), QByteArray("ab"));
    // A length that fits is kept.
    const std::uint8_t shorter[] = {1, 'x', 'y'};
    other.Assign(shorter, 2);
    EXPECT_EQ(other.AsText(), QByteArray("x"));
}

TEST(Asciil, AssignFromTextKeepsAtMost255Characters)
{
    Asciil field;
    field.Assign(QByteArray(300, 'q'));
    EXPECT_EQ(field.Length(), 255);
    EXPECT_EQ(field.AsText(), QByteArray(255, 'q'));
    field.Assign(QByteArray("hello"));
    EXPECT_EQ(field.Length(), 5);
    EXPECT_EQ(field.AsText(), QByteArray("hello"));
}

TEST(Asciil, DeleteRemovesCharactersFromOneBasedIndex)
{
    Asciil field;
    field.Assign(QByteArray("abcdefg"));
    field.Delete(8, 1);
    EXPECT_EQ(field.AsText(), QByteArray("abcdefg"));

    field.Assign(QByteArray("abcdefghij"));
    field.Delete(8, 1);
    EXPECT_EQ(field.AsText(), QByteArray("abcdefgij"));
    EXPECT_EQ(field.Length(), 9);

    field.Delete(1, 2);
    EXPECT_EQ(field.AsText(), QByteArray("cdefgij"));
    field.Delete(5, 100);
    EXPECT_EQ(field.AsText(), QByteArray("cdef"));
    field.Delete(0, 2);
    EXPECT_EQ(field.AsText(), QByteArray("cdef"));
    field.Delete(2, 0);
    EXPECT_EQ(field.AsText(), QByteArray("cdef"));
}

TEST(Asciil, DeleteStoresBackOnlyTheTextBeforeAZeroByte)
{
    const std::uint8_t bytes[] = {5, 'a', 'b', 0, 'd', 'e'};
    Asciil field(bytes);
    field.Delete(8, 1);
    EXPECT_EQ(field.Length(), 2);
    EXPECT_EQ(field.AsText(), QByteArray("ab"));
}
