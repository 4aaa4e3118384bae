// Bad arguments, payloads and targets of every command: its own message and exit 2, no file
// touched or created, the settings not even read.
#include <gtest/gtest.h>

#include <utility>

#include "cli_target.h"
#include "cli_test_fixture.h"

namespace tvde {
namespace {

using testing::CliFixture;
using testing::CliRun;
using testing::Contains;
using testing::Quoted;

using CliBadInput = CliFixture;

// The console's own guard on a described disk: one row per protected status, and values that
// are no status.
TEST(CliWriteGuard, OnlyTheErasableStatusesMayBeWritten) {
  const std::pair<int32_t, bool> rows[] = {{0, true},  {4, true},  {1, false}, {2, false},
                                           {3, false}, {5, false}, {-1, false}};
  for (const auto& [status, allowed] : rows) {
    DiskInfo disk;
    disk.safetyStatus = static_cast<SafetyStatus>(status);
    disk.safetyReason = status == 1 ? L"it is on the disk of the running system" : L"";
    const std::string refusal = cli::WriteRefusal(disk, "/dev/sdz");
    EXPECT_EQ(refusal.empty(), allowed) << status;
    EXPECT_TRUE(allowed || refusal.starts_with("refusing to write to '/dev/sdz': ")) << refusal;
  }
}

TEST_F(CliBadInput, EveryCaseIsRefusedWithItsMessageAndNothingWritten) {
  const auto image = Fill("disk.img", 1 << 20, 0x6B);
  Fill("small.img", 65536, 0x6C);  // smaller than the report stamp
  Fill("sector.img", 2048, 0x6E);
  Fill("notes.txt", 4096, 0x6F);  // no stamp on it
  std::filesystem::create_directory(dir_.path() / "adir");
  WriteText("unknown.txt", "certificateId=A\ncolour=blue\n");
  WriteText("overflow.txt", "passesCompleted=2147483648\n");
  const std::string disk = Path("disk.img");
  const std::string out = Path("new.img");

  using Case = std::pair<std::vector<std::string>, std::string>;
  // clang-format off
  std::vector<Case> cases = {
      {{"erase"}, "erase needs exactly one TARGET"},
      {{"erase", "-x", disk}, "unknown option '-x' for erase (a file name starting with '-'"},
      {{"erase", ""}, "the target path is empty"},
      {{"erase", disk, "--standard", "8"}, "unknown standard '8'; use 0 to 7 or one of nist-purge"},
      {{"erase", disk, "--out", Path("c"), "--no-reports"}, "--out and --no-reports exclude"},
      {{"erase", disk, "--firmware", "secure"}, "unknown firmware erase 'secure'; use auto, crypto,"},
      {{"erase", disk, "--progress", "xml"}, "unknown progress form 'xml'; use json"},
      {{"erase", disk, "--out", Path("notes.txt")}, "exists and is not a folder"},
      {{"erase", disk, "--operator", "\xC3\x28"}, "--operator is not valid UTF-8"},
      {{"erase", Path("missing.img"), "--real"}, Quoted(Path("missing.img")) + " does not exist"},
      {{"erase", Path("adir"), "--real"}, Quoted(Path("adir")) + " is a folder"},
      {{"erase", Path("sector.img"), "--sector-size", "4096"},
       Quoted(Path("sector.img")) + " holds no whole 4096-byte sector; there is nothing to erase"},
      {{"erase", Path("small.img"), "--real"},
       "is smaller than the report stamp (131072 bytes); pass --no-stamp to erase it without one"},
      {{"erase", disk, "--real", "--confirm", "ERASE"},
       "the confirmation does not match; pass --confirm \"ERASE " + disk + "\""},
      {{"stamp-write"}, "stamp-write needs --out IMAGE"},
      {{"stamp-write", "--payload", Path("unknown.txt"), "--out", out}, "line 2: unknown key 'colour'"},
      {{"stamp-write", "--payload", Path("overflow.txt"), "--out", out},
       "'passesCompleted' needs a whole number"},
      {{"stamp-write", "--field", "certificateId", "--out", out}, "expected key=value"},
      {{"stamp-write", "--out", out, "--field", "passesCompleted=-2147483648"},
       "'passesCompleted' needs a whole number from 0 to 2147483647, not '-2147483648'"},
      {{"stamp-write", "--out", out, "--field", " certificateId =v"}, "unknown key ' certificateId '"},
      {{"stamp-write", "--out", out, "--field", "incomplete=1"},
       "'incomplete' cannot be stored in a stamp, which always reads back with incomplete=0"},
      {{"stamp-write", "--out", out, "--field", "certificateId=A|B"}, "cannot be stored whole"},
      {{"stamp-read"}, "stamp-read needs exactly one IMAGE"},
      // Zeroing a file that carries no stamp erases no stamp, only data.
      {{"stamp-erase", Path("notes.txt")},
       "no stamp found on '" + Path("notes.txt") + "'; nothing was written (--force zeroes"},
      {{"list", "extra"}, "unexpected argument 'extra'"},
      {{"keygen"}, "keygen needs --out DIR"},
      {{"verify"}, "verify needs exactly one PATH"},
      {{"verify", Path("nowhere/TVDE")}, "is neither a file nor a folder"},
      {{"verify", Path("adir/TVDE")}, "no report files found for"},
      {{"verify", disk}, "is not a report, audit log, certificate or signature file"},
      {{"verify", Path("adir"), "--key", Path("missing.img")}, "--key: cannot read"},
      {{"stamp-burn"}, "unknown command 'stamp-burn'"},
  };
  // clang-format on
#ifdef _WIN32
  // Device namespaces are refused by name, never opened (the null device: a slip reaches no disk).
  for (const char* device :
       {"\\\\.\\NUL", "//./NUL", "\\??\\NUL", "\\\\?\\GLOBALROOT\\Device\\Null"}) {
    cases.push_back({{"erase", device, "--real", "--block-device"}, "is not a regular file"});
    cases.push_back({{"stamp-write", "--out", device}, "is not a regular file"});
    cases.push_back({{"stamp-erase", device, "--force"}, "is not a regular file"});
  }
#else
  std::filesystem::create_symlink("disk.img", dir_.path() / "link.img");
  std::filesystem::create_symlink("nowhere.img", dir_.path() / "dangling.img");
  std::filesystem::create_symlink("loop-b", dir_.path() / "loop-a");
  std::filesystem::create_symlink("loop-a", dir_.path() / "loop-b");
  const std::string link = Path("link.img");
  // clang-format off
  cases.insert(cases.end(), {
      {{"erase", "/dev/null", "--real", "--block-device"}, "'/dev/null' is not a regular file or block device"},
      // A file to be written is named directly, never through a link that may change.
      {{"erase", link, "--real"}, Quoted(link) + " is a symbolic link; give the path of the image"},
      {{"stamp-write", "--out", Path("dangling.img")}, "is a symbolic link to nothing"},
      {{"erase", Path("loop-a")}, "too many symbolic links lead on from one another"},
  });
  // clang-format on
#endif
  for (const auto& [args, message] : cases) {
    SCOPED_TRACE(message);
    const CliRun run = Cli(args);
    EXPECT_EQ(run.code, 2);
    EXPECT_TRUE(Contains(run.err, "tvde-cli: error: ")) << run.err;
    EXPECT_TRUE(Contains(run.err, message)) << run.err;
    EXPECT_TRUE(Contains(run.err, "Run 'tvde-cli help' for usage."));
    EXPECT_TRUE(run.out.empty()) << run.out;
  }
  EXPECT_EQ(Read("disk.img"), image);
  EXPECT_EQ(Read("notes.txt"), std::vector<uint8_t>(4096, 0x6F));
  for (const char* name : {"new.img", "c", "missing.img", "nowhere.img", "settings-certs"})
    EXPECT_FALSE(Exists(name)) << name;
  EXPECT_EQ(settingsLoads_, 0);  // the settings are not even read before the checks pass
}

TEST_F(CliBadInput, HelpAndNoCommand) {
  const CliRun help = Cli({"help"});
  EXPECT_EQ(help.code, 0);
  EXPECT_EQ(help.out.rfind("Usage: tvde-cli <command> [options]", 0), 0u);
  const CliRun none = Cli({});
  EXPECT_EQ(none.code, 2);
  EXPECT_EQ(none.err, help.out);
}

}  // namespace
}  // namespace tvde
