// The console tool run in-process: its help, stamp-write/read/erase on image files, the payload
// file format, and bad input that must leave every file untouched.
#include <gtest/gtest.h>

#include "cli_test_fixture.h"

namespace tvde {
namespace {

using testing::AllZero;
using testing::CliFixture;
using testing::CliRun;
using testing::CString;
using testing::WriteWholeFile;

class CliStamp : public CliFixture {
 protected:
  void WriteText(const std::string& name, const std::string& text) {
    WriteWholeFile(WidePath(name), std::vector<uint8_t>(text.begin(), text.end()));
  }
};

bool HasLine(const std::string& text, const std::string& line) {
  return ("\n" + text).find("\n" + line + "\n") != std::string::npos;
}

TEST_F(CliStamp, HelpAndUsageErrors) {
  const CliRun help = Cli({"help"});
  EXPECT_EQ(help.code, 0);
  EXPECT_EQ(help.out.rfind("Usage: tvde-cli <command> [options]", 0), 0u);
  EXPECT_NE(help.out.find("stamp-write --out IMAGE"), std::string::npos);
  EXPECT_NE(help.out.find("\n  erase TARGET [--standard S] [--verify none|quick|full] [--real]"),
            std::string::npos);
  EXPECT_NE(help.out.find("\n                       7 gutmann     Peter Gutmann Method"),
            std::string::npos);
  EXPECT_NE(help.out.find("3 erase: the job was cancelled"), std::string::npos);
  EXPECT_NE(
      help.out.find("4 erase: the\njob completed but the reports, their signature or the stamp"),
      std::string::npos);
  EXPECT_NE(help.out.find("\n  verify PATH [--key PUBLIC.pem] [--json]\n"), std::string::npos);
  EXPECT_NE(help.out.find("\n  keygen --out DIR\n"), std::string::npos);

  const CliRun none = Cli({});
  EXPECT_EQ(none.code, 2);
  EXPECT_NE(none.err.find("Usage:"), std::string::npos);

  const CliRun unknown = Cli({"stamp-burn"});
  EXPECT_EQ(unknown.code, 2);
  EXPECT_NE(unknown.err.find("unknown command 'stamp-burn'"), std::string::npos);
}

TEST_F(CliStamp, WriteReadEraseRoundTripOnANewImageFile) {
  const CliRun write =
      Cli({"stamp-write", "--out", Path("new.img"), "--field", "certificateId=CERT-CLI-1",
           "--field", "passesCompleted=7", "--field", "hardware.manufacturer=Maker=With=Equals",
           "--field", "operatorName=鈴木 一郎"});
  ASSERT_EQ(write.code, 0) << write.err;
  EXPECT_TRUE(HasLine(write.out,
                      "[DISK STAMP] 実機起動レポート画面 (BIOS/CSM フルスクリーン & UEFI GOP "
                      "グラフィック両対応スタンプ) をディスクへ記録しました"));
  const auto image = Read("new.img");
  ASSERT_EQ(image.size(), 131072u);
  EXPECT_EQ(CString(image, 0x200).rfind("TVDE_STAMP_V2|CERT-CLI-1|||||||鈴木 一郎|||7|", 0), 0u);
  EXPECT_EQ(image[0x1FE], 0x55);

  const CliRun read = Cli({"stamp-read", Path("new.img")});
  EXPECT_EQ(read.code, 0) << read.err;
  EXPECT_TRUE(HasLine(read.out, "incomplete=0"));
  EXPECT_TRUE(HasLine(read.out, "certificateId=CERT-CLI-1"));
  EXPECT_TRUE(HasLine(read.out, "operatorName=鈴木 一郎"));
  EXPECT_TRUE(HasLine(read.out, "passesCompleted=7"));
  EXPECT_TRUE(HasLine(read.out, "hardware.manufacturer=Maker=With=Equals"));
  EXPECT_TRUE(
      HasLine(read.out, "stampState=Bootable Report Stamp Active (UEFI GOP & BIOS/CSM MBR)"));

  const CliRun erase = Cli({"stamp-erase", Path("new.img")});
  EXPECT_EQ(erase.code, 0) << erase.err;
  EXPECT_NE(erase.out.find("(全0x00) に切り替えました。"), std::string::npos);
  const auto erased = Read("new.img");
  ASSERT_EQ(erased.size(), 131072u);
  EXPECT_TRUE(AllZero(erased, 0, erased.size()));

  const CliRun gone = Cli({"stamp-read", Path("new.img")});
  EXPECT_EQ(gone.code, 1);
  EXPECT_TRUE(HasLine(gone.out, "incomplete=1"));
  EXPECT_TRUE(HasLine(gone.out, "hardware.manufacturer=Local Maker"));
  EXPECT_NE(gone.err.find("no stamp found"), std::string::npos);
}

TEST_F(CliStamp, PayloadFileWithBomCommentsAndCrLfAndFieldsThatOverrideIt) {
  WriteText("payload.txt",
            "\xEF\xBB\xBF# stamp payload\r\n"
            "certificateId=FILE-CERT\r\n"
            "\r\n"
            "  standardName=Zero Fill (1 Pass - 高速ゼロ上書き)\r\n"
            "passesCompleted=1\r\n"
            "hardware.storageController=AHCI | SATA\r\n"
            "operatorName= spaced value \n");
  const CliRun write = Cli({"stamp-write", "--payload", Path("payload.txt"), "--out",
                            Path("file.img"), "--field=passesCompleted=2"});
  ASSERT_EQ(write.code, 0) << write.err;
  const CliRun read = Cli({"stamp-read", Path("file.img")});
  ASSERT_EQ(read.code, 0);
  EXPECT_TRUE(HasLine(read.out, "certificateId=FILE-CERT"));
  EXPECT_TRUE(HasLine(read.out, "standardName=Zero Fill (1 Pass - 高速ゼロ上書き)"));
  EXPECT_TRUE(HasLine(read.out, "passesCompleted=2"));
  EXPECT_TRUE(HasLine(read.out, "operatorName= spaced value "));
  // The separator inside a value became a space in the record.
  EXPECT_TRUE(HasLine(read.out, "hardware.storageController=AHCI   SATA"));
}

TEST_F(CliStamp, ReadOutputFedBackAsPayloadWritesTheSameImage) {
  // Detection always reports the product version, so the first image carries the same one.
  ASSERT_EQ(Cli({"stamp-write", "--out", Path("a.img"), "--field", "certificateId=ROUND", "--field",
                 "hardware.uuid=UUID-1", "--field", "verification=PASSED", "--field",
                 "softwareVersion=Toreval Disk Eraser Suite v1.3.0"})
                .code,
            0);
  const CliRun read = Cli({"stamp-read", Path("a.img")});
  ASSERT_EQ(read.code, 0);
  WriteText("read.txt", read.out);
  const CliRun again = Cli({"stamp-write", "--out", Path("b.img"), "--payload", Path("read.txt")});
  ASSERT_EQ(again.code, 0) << again.err;
  EXPECT_EQ(Read("a.img"), Read("b.img"));
}

TEST_F(CliStamp, ExtendsShortImagesAndKeepsEverythingPastTheStamp) {
  Fill("short.img", 1000, 0x11);
  ASSERT_EQ(Cli({"stamp-write", "--out", Path("short.img")}).code, 0);
  EXPECT_EQ(Read("short.img").size(), 131072u);

  Fill("long.img", 300000, 0x22);
  ASSERT_EQ(Cli({"stamp-write", "--out", Path("long.img"), "--sector-size", "4096"}).code, 0);
  const auto image = Read("long.img");
  ASSERT_EQ(image.size(), 300000u);
  EXPECT_EQ(image[0x1FE], 0x55);
  EXPECT_EQ(image[131071], 0);
  EXPECT_EQ(image[131072], 0x22);
  EXPECT_EQ(image.back(), 0x22);

  ASSERT_EQ(Cli({"stamp-erase", Path("long.img"), "--sector-size=4096"}).code, 0);
  const auto erased = Read("long.img");
  EXPECT_TRUE(AllZero(erased, 0, 131072));
  EXPECT_EQ(erased[131072], 0x22);
}

TEST_F(CliStamp, BadInputIsRefusedAndNothingIsWritten) {
  WriteText("unknown.txt", "certificateId=A\ncolour=blue\n");
  WriteText("noequals.txt", "certificateId=A\njust text\n");
  WriteText("twice.txt", "certificateId=A\ncertificateId=B\n");
  WriteText("number.txt", "passesCompleted=three\n");
  WriteText("overflow.txt", "passesCompleted=2147483648\n");
  WriteText("badutf8.txt", "operatorName=\xC3\x28\n");
  WriteText("zerobyte.txt", std::string("operatorName=a\0b\n", 17));
  std::filesystem::create_directory(dir_.path() / "adir");
  Fill("existing.img", 4096, 0x33);

  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--payload", Path("unknown.txt")}, "line 2: unknown key 'colour'"},
      {{"--payload", Path("noequals.txt")}, "line 2: expected key=value"},
      {{"--payload", Path("twice.txt")}, "key 'certificateId' is given twice"},
      {{"--payload", Path("number.txt")}, "'passesCompleted' needs a whole number"},
      {{"--payload", Path("overflow.txt")}, "'passesCompleted' needs a whole number"},
      {{"--payload", Path("badutf8.txt")}, "not valid UTF-8"},
      {{"--payload", Path("zerobyte.txt")}, "zero bytes or line breaks"},
      {{"--payload", Path("missing.txt")}, "is not a readable regular file"},
      {{"--payload", Path("adir")}, "is not a readable regular file"},
      {{"--field", "certificateId"}, "expected key=value"},
      {{"--field", "hardware.colour=x"}, "unknown key 'hardware.colour'"},
      {{"--field", "a=1", "--field", "a=2"}, "unknown key 'a'"},
      {{"--field", "diskModel=x", "--field", "diskModel=y"}, "given twice"},
      {{"--sector-size", "513"}, "--sector-size must be 512, 1024, 2048 or 4096"},
      {{"--sector-size", "4k"}, "--sector-size must be"},
      {{"--sector-size"}, "--sector-size needs a value"},
      {{"--colour", "blue"}, "unknown option '--colour'"},
      {{"--block-device=yes"}, "--block-device takes no value"},
      {{"extra"}, "unexpected argument 'extra'"},
  };
  for (const auto& [extra, message] : cases) {
    for (const std::string& target : {std::string("new.img"), std::string("existing.img")}) {
      std::vector<std::string> args = {"stamp-write"};
      args.insert(args.end(), extra.begin(), extra.end());
      // The target comes last so that a value-less option above swallows nothing else.
      if (extra != std::vector<std::string>{"--sector-size"}) {
        args.insert(args.end(), {"--out", Path(target)});
      }
      SCOPED_TRACE(message + " / " + target);
      const CliRun run = Cli(args);
      EXPECT_EQ(run.code, 2);
      EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
      EXPECT_TRUE(run.out.empty());
    }
    EXPECT_FALSE(Exists("new.img"));
    EXPECT_EQ(Read("existing.img"), std::vector<uint8_t>(4096, 0x33));
  }

  EXPECT_EQ(Cli({"stamp-write"}).code, 2);
  EXPECT_EQ(Cli({"stamp-write", "--out", Path("adir")}).code, 2);
  EXPECT_EQ(Cli({"stamp-write", "--out", Path("a.img"), "--out", Path("b.img")}).code, 2);
  EXPECT_FALSE(Exists("a.img"));
  EXPECT_FALSE(Exists("b.img"));
}

TEST_F(CliStamp, ReadAndEraseNeedAnExistingRegularFile) {
  const CliRun read = Cli({"stamp-read", Path("missing.img")});
  EXPECT_EQ(read.code, 2);
  EXPECT_NE(read.err.find("does not exist"), std::string::npos);
  const CliRun erase = Cli({"stamp-erase", Path("missing.img")});
  EXPECT_EQ(erase.code, 2);
  EXPECT_FALSE(Exists("missing.img"));
  std::filesystem::create_directory(dir_.path() / "adir");
  EXPECT_EQ(Cli({"stamp-erase", Path("adir")}).code, 2);
  EXPECT_EQ(Cli({"stamp-read", Path("adir")}).code, 2);
  EXPECT_EQ(Cli({"stamp-read"}).code, 2);
  EXPECT_EQ(Cli({"stamp-read", Path("a"), Path("b")}).code, 2);
  EXPECT_EQ(Cli({"stamp-read", "--block-device", Path("a")}).code, 2);
}

TEST_F(CliStamp, DeviceTargetsOtherThanFilesAreRefusedWithoutFlag) {
#ifdef _WIN32
  // Device-namespace paths; these name the null device, harmless even if opened.
  for (const std::string path : {"\\\\.\\NUL", "//./NUL", "\\\\?\\GLOBALROOT\\Device\\Null"}) {
    const CliRun run = Cli({"stamp-write", "--out", path});
    EXPECT_EQ(run.code, 2) << path;
    EXPECT_NE(run.err.find("is not a regular file"), std::string::npos) << run.err;
    EXPECT_EQ(Cli({"stamp-erase", path, "--block-device"}).code, 2);
  }
#else
  const CliRun run = Cli({"stamp-write", "--out", "/dev/null"});
  EXPECT_EQ(run.code, 2);
  EXPECT_NE(run.err.find("'/dev/null' is not a regular file or block device"), std::string::npos);
  EXPECT_EQ(Cli({"stamp-erase", "/dev/null", "--block-device"}).code, 2);
#endif
}

}  // namespace
}  // namespace tvde
