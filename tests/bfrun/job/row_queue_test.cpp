// The queue of finished rows: written in order on a thread of its own, each row copied in as
// it is pushed, and a failed write stopping every row after it.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "bfrun/job/row_queue.h"

TEST(RowQueue, RowsAreWrittenInOrderOnItsOwnThread) {
    std::vector<uint8_t> written;
    std::thread::id writer;
    RowQueue queue(3, 2, [&](const uint8_t* row) {
        written.insert(written.end(), row, row + 3);
        writer = std::this_thread::get_id();
        return true;
    });
    std::vector<uint8_t> expected;
    for (uint8_t r = 0; r < 10; ++r) {
        uint8_t row[3] = {r, uint8_t(r + 100), uint8_t(r + 200)}; // reused: the queue copies
        ASSERT_TRUE(queue.push(row));
        expected.insert(expected.end(), row, row + 3);
    }
    ASSERT_TRUE(queue.finish());
    EXPECT_EQ(written, expected);
    EXPECT_NE(writer, std::this_thread::get_id());
}

TEST(RowQueue, AFailedWriteStopsTheRowsAfterIt) {
    int writes = 0;
    RowQueue queue(1, 2, [&](const uint8_t*) { return ++writes < 4; });
    const uint8_t row = 7;
    int accepted = 0;
    for (int r = 0; r < 10; ++r)
        if (queue.push(&row)) ++accepted;
    EXPECT_FALSE(queue.finish());
    EXPECT_FALSE(queue.push(&row));
    EXPECT_EQ(writes, 4);       // the failed one is the last written
    EXPECT_LE(accepted, 4 + 2); // the written and what the queue holds
}
