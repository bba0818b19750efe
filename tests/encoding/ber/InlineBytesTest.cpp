#include "encoding/ber/InlineBytes.h"

#include "encoding/ber/BerData.h"
#include "encoding/ber/BerTag.h"
#include "encoding/ber/BerTlv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <type_traits>
#include <utility>
#include <vector>

using Ber::BerData;
using Ber::BerTag;

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

TEST(InlineBytes, CopiesAreIndependentAndShortCopiesOfHeapBytesAreInline)
{
    for (std::size_t count : {4u, 8u, 9u, 33u}) {
        Bytes original = bytesOf(sequence(count));
        Bytes copy(original);
        Bytes assigned = bytesOf(sequence(20, 100));
        assigned = original;
        original.append(original.data(), 1);
        EXPECT_EQ(sequence(count), contents(copy)) << count;
        EXPECT_EQ(sequence(count), contents(assigned)) << count;
        EXPECT_FALSE(original == copy);
    }

    Bytes heap = bytesOf(sequence(30));
    heap.assign(heap.data(), 3);
    Bytes const shortCopy(heap);
    EXPECT_TRUE(shortCopy.isInline());
    EXPECT_EQ(sequence(3), contents(shortCopy));

    Bytes self = bytesOf(sequence(12));
    Bytes const& alias = self;
    self = alias;
    EXPECT_EQ(sequence(12), contents(self));
}

TEST(InlineBytes, MovesLeaveTheSourceEmptyAndReusable)
{
    for (std::size_t count : {5u, 8u, 9u, 50u}) {
        Bytes source = bytesOf(sequence(count));
        unsigned char const* const heapBuffer = source.isInline() ? nullptr : source.data();
        Bytes moved(std::move(source));
        EXPECT_EQ(sequence(count), contents(moved)) << count;
        if (heapBuffer != nullptr) {
            EXPECT_EQ(heapBuffer, moved.data()) << "a heap buffer is handed over, not copied";
        }
        EXPECT_EQ(0u, source.size());
        EXPECT_TRUE(source.isInline());

        Bytes target = bytesOf(sequence(20, 50));
        target = std::move(moved);
        EXPECT_EQ(sequence(count), contents(target)) << count;
        EXPECT_EQ(0u, moved.size());

        std::vector<unsigned char> const again = sequence(10, 7);
        source.append(again.data(), again.size());
        EXPECT_EQ(again, contents(source));
    }
}

// Child lists relocate their elements by moving them only when no move
// can throw; else every relocation copies whole subtrees.
static_assert(std::is_nothrow_move_constructible<Ber::BerTlv>::value, "elements move without throwing");

