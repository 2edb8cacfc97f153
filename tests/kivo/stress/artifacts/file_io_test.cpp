#include <gtest/gtest.h>

#include "kivo/stress/artifacts/file_io.hpp"

namespace kivo::stress::artifacts {
namespace {

TEST(IsUtf8, AcceptsWellFormedAndRefusesMalformedSequences) {
  for (const char* text : {"", "plain", "caf\xc3\xa9", "\xe2\x82\xac", "\xf0\x9f\x98\x80",
                           "\xed\x9f\xbf", "\xf4\x8f\xbf\xbf"}) {
    EXPECT_TRUE(is_utf8(text)) << text;
  }
  for (const char* text : {"\xe9", "\xc3", "\xc0\xaf", "\xe0\x80\xaf", "\xed\xa0\x80",
                           "\xf4\x90\x80\x80", "\xf5\x80\x80\x80", "\x80", "ok\xe2\x82"}) {
    EXPECT_FALSE(is_utf8(text)) << text;
  }
}

}  // namespace
}  // namespace kivo::stress::artifacts
