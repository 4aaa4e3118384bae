// Clock, random source and SHA-256 of the OS layer, on the real platform services.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "base/clock.h"
#include "base/random.h"
#include "base/sha256.h"

namespace tvde {
namespace {

std::string Hex(const std::array<uint8_t, 32>& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (uint8_t b : bytes) {
    out.push_back(digits[b >> 4]);
    out.push_back(digits[b & 15]);
  }
  return out;
}

Sha256Digest HashText(const std::string& text) {
  return ComputeSha256({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
}

TEST(Sha256, MatchesPublishedVectors) {
  const auto empty = HashText("");
  ASSERT_EQ(empty.status, Sha256Status::Ok);
  EXPECT_EQ(Hex(empty.bytes), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(Hex(HashText("abc").bytes),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(Hex(HashText("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq").bytes),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
}

TEST(Sha256, HashesLargeInputInOneCall) {
  const std::string million(1000000, 'a');
  EXPECT_EQ(Hex(HashText(million).bytes),
            "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(FillRandom, FillsEveryByteWithFreshData) {
  std::vector<uint8_t> a(4096, 0), b(4096, 0);
  ASSERT_TRUE(FillRandom(a));
  ASSERT_TRUE(FillRandom(b));
  EXPECT_NE(a, b);
  // 4096 random bytes: each of the 256 values is expected 16 times; a buffer left mostly
  // untouched would show zero far more often.
  size_t zeros = 0;
  for (uint8_t v : a)
    zeros += v == 0 ? 1 : 0;
  EXPECT_LT(zeros, 64u);
  EXPECT_TRUE(FillRandom(std::span<uint8_t>()));
}

TEST(Clock, TickCountAdvancesAcrossASleep) {
  const uint64_t before = TickCountMs();
  SleepMs(100);
  const uint64_t after = TickCountMs();
  // The Windows tick count moves in steps of about 16 ms.
  EXPECT_GE(after - before, 80u);
  EXPECT_LT(after - before, 5000u);
}

TEST(Clock, LocalTimeIsAPlausibleCalendarDate) {
  const LocalTime t = CurrentLocalTime();
  EXPECT_GE(t.year, 2024);
  EXPECT_GE(t.month, 1);
  EXPECT_LE(t.month, 12);
  EXPECT_GE(t.day, 1);
  EXPECT_LE(t.day, 31);
  EXPECT_LE(t.hour, 23);
  EXPECT_LE(t.minute, 59);
  EXPECT_LE(t.second, 60);
  EXPECT_LE(t.milliseconds, 999);
}

}  // namespace
}  // namespace tvde
