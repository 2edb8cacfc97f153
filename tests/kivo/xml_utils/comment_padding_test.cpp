#include <gtest/gtest.h>

#include <string>

#include "kivo/xml_utils.hpp"

namespace {

using kivo::Comment;
using kivo::Element;
using kivo::XMLNode;
using kivo::xml_utils::parse;
using kivo::xml_utils::write_with_config;
using kivo::xml_utils::WriterConfig;

Element commented(std::string text) {
  Element root = Element::make("r");
  root.children.push_back(XMLNode{Comment{std::move(text)}});
  return root;
}

WriterConfig unpadded() {
  WriterConfig config;
  config.write_declaration = false;
  config.perform_indent = false;
  config.autopad_comments = false;
  return config;
}

TEST(CommentPadding, UnpaddedRefusesACommentEndingInADashAndKeepsTheSink) {
  for (const char* text : {"-", "a-", "x -", "-a-"}) {
    std::string sink = "kept";
    auto written = write_with_config(commented(text), sink, unpadded());
    ASSERT_FALSE(written) << text;
    EXPECT_EQ(written.error().description, "Comment text cannot be written as an XML comment")
        << text;
    EXPECT_EQ(sink, "kept") << text;
  }
}

TEST(CommentPadding, UnpaddedWritesOtherCommentsAsTheyAreAndReadsThemBack) {
  for (const char* text : {"-a", "a - b", "", "a", " - "}) {
    std::string sink;
    ASSERT_TRUE(write_with_config(commented(text), sink, unpadded())) << text;
    EXPECT_EQ(sink, "<r><!--" + std::string(text) + "--></r>");
    auto reread = parse(sink);
    ASSERT_TRUE(reread) << sink;
    EXPECT_EQ(*reread, commented(text)) << sink;
  }
}

TEST(CommentPadding, PaddedWritesACommentEndingInADashWithASpaceBeforeTheEnd) {
  std::string sink;
  WriterConfig config = unpadded();
  config.autopad_comments = true;
  ASSERT_TRUE(write_with_config(commented("a-"), sink, config));
  EXPECT_EQ(sink, "<r><!-- a- --></r>");
  auto reread = parse(sink);
  ASSERT_TRUE(reread) << sink;
  EXPECT_EQ(*reread, commented(" a- "));
}

}  // namespace
