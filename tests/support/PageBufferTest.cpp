#include "PrintKit/support/PageBuffer.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <utility>

using namespace PrintKit;

TEST(PageBufferTest, EveryByteOfHeapAndMappedBlocksIsUsableAndMovesWithTheBuffer) {
    // Either side of the size where blocks start being mapped, and large blocks on large pages, whose
    // mapping is trimmed to a large-page boundary at both ends.
    for (std::size_t bytes : {std::size_t{1}, std::size_t{262143}, std::size_t{262144}, std::size_t{262145},
                              std::size_t{5 << 20} + 3}) {
        for (bool huge : {false, true}) {
            PageBuffer buffer(bytes, huge);
            ASSERT_EQ(buffer.size(), bytes);
            auto* data = buffer.as<std::uint8_t>();
            for (std::size_t i = 0; i < bytes; i += 4096) {
                data[i] = static_cast<std::uint8_t>(i / 4096);
            }
            data[bytes - 1] = 0xA5;
            PageBuffer moved(std::move(buffer));
            EXPECT_EQ(buffer.data(), nullptr);
            EXPECT_EQ(buffer.size(), 0u);
            PageBuffer assigned(4096);
            assigned = std::move(moved);
            ASSERT_EQ(assigned.as<std::uint8_t>(), data) << bytes;
            for (std::size_t i = 0; i < bytes - 1; i += 4096) {
                ASSERT_EQ(data[i], static_cast<std::uint8_t>(i / 4096)) << bytes << ' ' << i;
            }
            EXPECT_EQ(data[bytes - 1], 0xA5);
        }
    }
    EXPECT_EQ(PageBuffer(0).data(), nullptr);
}
