// Text from files and the module as one printable line.
#include <gtest/gtest.h>

#include "bfrun/cli/printable_line.h"

TEST(PrintableLine, MessagesArePrintedAsOnePrintableLine) {
    EXPECT_EQ(printable_line("plain text"), "plain text");
    EXPECT_EQ(printable_line("two\nlines\r\x1b[31m"), "two?lines??[31m");
    EXPECT_EQ(printable_line(u8"caf\u00e9 \u30a8\u30e9\u30fc"), u8"caf\u00e9 \u30a8\u30e9\u30fc");
    // Not UTF-8: a stray continuation byte, a cut sequence, an overlong '/', a surrogate, C1.
    EXPECT_EQ(printable_line("a\x80"
                             "b\xe3\x81"),
              "a?b??");
    EXPECT_EQ(printable_line("\xc0\xaf\xed\xa0\x80\xc2\x85"), "???????");
}
