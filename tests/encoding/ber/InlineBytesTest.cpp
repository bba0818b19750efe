#include "encoding/ber/InlineBytes.h"

#include "encoding/ber/BerTlv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <type_traits>
#include <vector>


namespace {

using Bytes = Ber::InlineBytes<8>;

// 0, 1, 2, ... count - 1
std::vector<unsigned char> sequence(std::size_t count, unsigned char first = 0)
{
    std::vector<unsigned char> bytes(count);
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}

Bytes bytesOf(std::vector<unsigned char> const& bytes)
{
    return Bytes(bytes.data(), bytes.size());
}

std::vector<unsigned char> contents(Bytes const& bytes)
{
    return std::vector<unsigned char>(bytes.begin(), bytes.end());
}

}  // namespace

TEST(InlineBytes, StaysInlineUpToItsCapacityAndKeepsTheBytesAcrossTheMoveToTheHeap)
{
    EXPECT_TRUE(Bytes().isInline());
    EXPECT_EQ(Bytes(nullptr, 0), Bytes());
    for (std::size_t count : {1u, 8u, 9u, 40u}) {
        Bytes const bytes = bytesOf(sequence(count));
        EXPECT_EQ(count <= 8, bytes.isInline()) << count;
        EXPECT_EQ(sequence(count), contents(bytes)) << count;
    }

    // Bytes 0..4, extend to 6, append 7, extend to the heap for 8..27, append 28..54.
    Bytes bytes = bytesOf(sequence(5));
    std::vector<unsigned char> const all = sequence(55);
    std::copy(all.begin() + 5, all.begin() + 7, bytes.extend(2));
    bytes.append(all.data() + 7, 1);
    EXPECT_TRUE(bytes.isInline());
    std::copy(all.begin() + 8, all.begin() + 28, bytes.extend(20));
    EXPECT_FALSE(bytes.isInline());
    bytes.append(all.data() + 28, all.size() - 28);
    bytes.append(nullptr, 0);
    EXPECT_EQ(sequence(55), contents(bytes));
}

// Child lists relocate their elements by moving them only when no move
// can throw; else every relocation copies whole subtrees.
static_assert(std::is_nothrow_move_constructible<Ber::BerTlv>::value, "elements move without throwing");

