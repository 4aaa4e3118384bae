// Ctrl+C handling of the erase command: only the first interrupt inside a job cancels. Real
// signals to the real program are the interrupt script's test.
#include "cli_interrupt.h"

#include <gtest/gtest.h>

namespace tvde {
namespace {

TEST(CliInterrupt, OnlyTheFirstInterruptInsideAScopeCancels) {
  EXPECT_FALSE(cli::RequestCancelFromInterrupt());  // no job: the system's default applies
  CancelFlag first{0};
  {
    cli::InterruptScope scope(first);
    EXPECT_EQ(first.load(), 0);
    EXPECT_TRUE(cli::RequestCancelFromInterrupt());
    EXPECT_EQ(first.load(), 1);
    EXPECT_FALSE(cli::RequestCancelFromInterrupt());  // the second one ends the program
  }
  EXPECT_FALSE(cli::RequestCancelFromInterrupt());
  CancelFlag second{0};
  {
    cli::InterruptScope scope(second);  // a new job counts afresh
    EXPECT_TRUE(cli::RequestCancelFromInterrupt());
  }
  EXPECT_EQ(second.load(), 1);
}

}  // namespace
}  // namespace tvde
