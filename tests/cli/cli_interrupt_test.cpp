// Ctrl+C handling of the erase command: only the first interrupt inside a job cancels, and on
// POSIX a real SIGINT in the middle of a job ends it cancelled with its reports written.
#include "cli_interrupt.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <signal.h>
#endif

#include "cli_test_fixture.h"

namespace tvde {
namespace {

using testing::CliFixture;
using testing::CliRun;
using testing::FaultDevice;
using testing::SummaryValue;

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

#ifndef _WIN32
class CliInterruptSignal : public CliFixture {};

TEST_F(CliInterruptSignal, SigintDuringARealJobCancelsItAndTheHandlerIsGivenBack) {
  struct sigaction before {};
  sigaction(SIGINT, nullptr, &before);
  constexpr size_t kChunk = 4 << 20;  // the engine's write size
  Fill("disk.img", 3 * kChunk, 0x5C);
  services_.catchInterrupt = true;
  InjectFaults([](FaultDevice& device) {
    device.faults.beforeWrite = [](int32_t write) {
      if (write == 2) raise(SIGINT);
    };
  });
  const CliRun run =
      Cli({"erase", Path("disk.img"), "--real", "--standard", "zero-fill", "--out", Path("certs")});
  EXPECT_EQ(run.code, 3) << run.out;
  EXPECT_EQ(SummaryValue(run.out, "Verification"), "CANCELLED BY USER");
  EXPECT_EQ(FilesIn("certs").size(), 3u);
  const auto image = Read("disk.img");
  EXPECT_EQ(image[2 * kChunk - 1], 0);  // chunk 2 was the last one started
  EXPECT_EQ(image[2 * kChunk], 0x5C);   // chunk 3 never was
  struct sigaction after {};
  sigaction(SIGINT, nullptr, &after);
  EXPECT_EQ(after.sa_handler, before.sa_handler);
}
#endif

}  // namespace
}  // namespace tvde
