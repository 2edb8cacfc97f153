#include "kivo/stress/text_utf8.hpp"

#include <gtest/gtest.h>

namespace kivo::stress {
namespace {

TEST(IsValidUtf8, AcceptsWellFormedAndRefusesMalformedSequences) {
  for (const char* text : {"", "plain", "caf\xc3\xa9", "\xe2\x82\xac", "\xf0\x9f\x98\x80",
                           "\xed\x9f\xbf", "\xf4\x8f\xbf\xbf"}) {
    EXPECT_TRUE(is_valid_utf8(text)) << text;
  }
  for (const char* text : {"\xe9", "\xc3", "\xc0\xaf", "\xe0\x80\xaf", "\xed\xa0\x80",
                           "\xf4\x90\x80\x80", "\xf5\x80\x80\x80", "\x80", "ok\xe2\x82"}) {
    EXPECT_FALSE(is_valid_utf8(text)) << text;
  }
}

TEST(Utf8Lossy, ReplacesEachInvalidByteAndKeepsTheRest) {
  EXPECT_EQ(utf8_lossy("caf\xc3\xa9"), "caf\xc3\xa9");
  EXPECT_EQ(utf8_lossy("a\xffz"), "a\xEF\xBF\xBDz");
  EXPECT_EQ(utf8_lossy("\xc3"), "\xEF\xBF\xBD");
  EXPECT_EQ(utf8_lossy("\xed\xa0\x80!"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD!");
}

}  // namespace
}  // namespace kivo::stress
