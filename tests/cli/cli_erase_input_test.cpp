// Bad arguments and targets for the erase command: each gets a clear message and exit 2,
// leaves the image untouched and creates no report file or folder.
#include <gtest/gtest.h>

#include <utility>

#include "cli_test_fixture.h"

namespace tvde {
namespace {

using testing::CliFixture;
using testing::CliRun;
using testing::Contains;

class CliEraseInput : public CliFixture {
 protected:
  // Appended, not "'" + temporary: GCC 12 warns falsely on that.
  std::string Quoted(const std::string& name) const {
    std::string text(1, '\'');
    text += Path(name);
    text += '\'';
    return text;
  }
};

TEST_F(CliEraseInput, BadArgumentsAndTargetsWriteNothing) {
  const auto image = Fill("disk.img", 1 << 20, 0x6B);
  const auto small = Fill("small.img", 65536, 0x6C);  // smaller than the report stamp
  Fill("tiny.img", 100, 0x6D);                        // not one whole sector
  Fill("empty.img", 0, 0);
  Fill("sector.img", 2048, 0x6E);
  Fill("notafolder", 10, 0x6F);
  std::filesystem::create_directory(dir_.path() / "adir");
  const std::string disk = Path("disk.img");

  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"erase"}, "erase needs exactly one TARGET"},
      {{"erase", disk, Path("small.img")}, "erase needs exactly one TARGET"},
      {{"erase", disk, "--colour", "red"}, "unknown option '--colour' for erase"},
      {{"erase", disk, "--standard", "8"}, "unknown standard '8'; use 0 to 7 or one of nist-purge"},
      {{"erase", disk, "--standard", "-1"}, "unknown standard '-1'"},
      {{"erase", disk, "--standard", "02"}, "unknown standard '02'"},
      {{"erase", disk, "--standard", "dod5220"}, "unknown standard 'dod5220'"},
      {{"erase", disk, "--standard="}, "--standard needs a non-empty value"},
      {{"erase", disk, "--standard"}, "--standard needs a value"},
      {{"erase", disk, "--standard", "1", "--standard", "2"}, "--standard is given twice"},
      {{"erase", disk, "--verify", "partial"},
       "unknown verification 'partial'; use none, quick or full"},
      {{"erase", disk, "--real=yes"}, "--real takes no value"},
      {{"erase", disk, "--real", "--out", Path("certs"), "--no-reports"},
       "--out and --no-reports exclude each other"},
      {{"erase", disk, "--out", Path("notafolder")},
       "--out '" + Path("notafolder") + "' exists and is not a folder"},
      {{"erase", disk, "--real", "--sector-size", "513"},
       "--sector-size must be 512, 1024, 2048 or 4096"},
      {{"erase", disk, "--operator", "\xC3\x28"}, "--operator is not valid UTF-8"},
      {{"erase", Path("missing.img"), "--real"}, Quoted("missing.img") + " does not exist"},
      {{"erase", Path("adir"), "--real"}, Quoted("adir") + " is not a regular file"},
      {{"erase", Path("empty.img"), "--real"},
       Quoted("empty.img") + " holds no whole 512-byte sector; there is nothing to erase"},
      {{"erase", Path("tiny.img"), "--real", "--no-stamp"},
       Quoted("tiny.img") + " holds no whole 512-byte sector"},
      {{"erase", Path("sector.img"), "--sector-size", "4096"},
       Quoted("sector.img") + " holds no whole 4096-byte sector"},
      {{"erase", Path("small.img"), "--real"},
       Quoted("small.img") + " is smaller than the report stamp (131072 bytes); pass --no-stamp "
                             "to erase it without one"},
      // A confirmation for an image file must name it exactly.
      {{"erase", disk, "--real", "--confirm", "ERASE"},
       "the confirmation does not match; pass --confirm \"ERASE " + disk + "\""},
      {{"erase", disk, "--real", "--confirm", "ERASE " + Path("other.img")},
       "the confirmation does not match"},
      {{"erase", disk, "--real", "--confirm", "ERASE  " + disk}, "the confirmation does not match"},
      {{"erase", disk, "--real", "--confirm", "ERASER " + disk}, "the confirmation does not match"},
      {{"erase", disk, "--real", "--confirm", disk}, "the confirmation does not match"},
#ifdef _WIN32
      // Device-namespace paths are refused by name, never opened (both name the null device, so
      // even a mistake could not reach a disk).
      {{"erase", "\\\\.\\NUL", "--real", "--block-device"}, "'\\\\.\\NUL' is not a regular file"},
      {{"erase", "//./NUL", "--real", "--block-device"}, "'//./NUL' is not a regular file"},
#else
      {{"erase", "/dev/null", "--real", "--block-device"},
       "'/dev/null' is not a regular file or block device"},
#endif
  };
  for (const auto& [args, message] : cases) {
    SCOPED_TRACE(message);
    const CliRun run = Cli(args);
    EXPECT_EQ(run.code, 2);
    EXPECT_TRUE(Contains(run.err, "tvde-cli: error: " + message)) << run.err;
    EXPECT_TRUE(Contains(run.err, "Run 'tvde-cli help' for usage."));
    EXPECT_TRUE(run.out.empty()) << run.out;
  }
  EXPECT_EQ(Read("disk.img"), image);
  EXPECT_EQ(Read("small.img"), small);
  EXPECT_EQ(Read("tiny.img"), std::vector<uint8_t>(100, 0x6D));
  EXPECT_EQ(Read("sector.img"), std::vector<uint8_t>(2048, 0x6E));
  EXPECT_FALSE(Exists("certs"));
  EXPECT_FALSE(Exists("missing.img"));
  EXPECT_FALSE(Exists("settings-certs"));
  EXPECT_EQ(settingsLoads_, 0);  // the settings are not even read before the checks pass
}

TEST_F(CliEraseInput, EveryStandardNameAndNumberIsAccepted) {
  // Simulation needs no disk access; the plan shows in the header line of the chosen standard.
  const std::vector<std::pair<std::string, std::string>> names = {
      {"nist-purge", "NIST SP 800-88 Rev.1 Purge"}, {"Nist-Clear", "NIST SP 800-88 Rev.1 Clear"},
      {"zero-fill", "Zero Fill (1 Pass"},           {"random", "Cryptographic Random (1 Pass"},
      {"dod", "DoD 5220.22-M (3 Passes"},           {"hmg-is5", "UK HMG IS5 Enhanced (3 Passes"},
      {"dod-ece", "DoD 5220.22-M ECE (7 Passes"},   {"gutmann", "Peter Gutmann Method (35 Passes"},
  };
  Fill("disk.img", 4096, 0x01);
  services_.jobEnvironment.saveReports = [](ReportData&) { return true; };  // no profile to collect
  for (size_t i = 0; i < names.size(); ++i) {
    for (const std::string& given : {names[i].first, std::to_string(i)}) {
      SCOPED_TRACE(given);
      cancel_.store(1);  // the job stops at its first check: fast, and still reports
      const CliRun run = Cli({"erase", Path("disk.img"), "--standard", given, "--no-reports"});
      EXPECT_EQ(run.code, 3) << run.err;
      EXPECT_TRUE(Contains(run.out, "\n  Standard      : " + names[i].second)) << run.out;
      EXPECT_TRUE(Contains(run.out, "\nStandard         : " + names[i].second));
    }
  }
  EXPECT_EQ(Read("disk.img"), std::vector<uint8_t>(4096, 0x01));
}

}  // namespace
}  // namespace tvde
