// The exit statuses: every one listed once, in order, and the PNG code's failures mapped onto
// them.
#include <gtest/gtest.h>

#include "bfrun/drive/exit_status.h"

TEST(ExitStatus, EveryStatusOnceInOrderAndThePngFailuresMapped) {
    ASSERT_EQ(kExitStatusCount, 12u);
    for (size_t i = 0; i < kExitStatusCount; ++i)
        EXPECT_EQ(kExitStatusMeanings[i].status, static_cast<ExitStatus>(i));
    const std::pair<ImageErrorKind, ExitStatus> cases[] = {
        {ImageErrorKind::none, kExitDone},
        {ImageErrorKind::bad_input, kExitBadInput},
        {ImageErrorKind::too_large, kExitTooLarge},
        {ImageErrorKind::write_failed, kExitWriteFailed},
        {ImageErrorKind::out_of_memory, kExitOutOfMemory},
    };
    for (const auto& [kind, status] : cases) {
        const Failure failure = failure_from(ImageError{kind, "why"});
        EXPECT_EQ(failure.status, status);
        EXPECT_EQ(failure.message, kind == ImageErrorKind::none ? "" : "why");
    }
}
