#include <gtest/gtest.h>

#include <string>

#include "kivo/xml_utils.hpp"

namespace {

using kivo::Element;
using kivo::Namespaces;
using kivo::xml_utils::child;
using kivo::xml_utils::parse;
using kivo::xml_utils::write_xml_string;

// Root declaring `prefixes` namespaces over `children` elements that declare nothing.
std::string many_inheriting_children(int prefixes, int children) {
  std::string text = "<root";
  for (int i = 0; i < prefixes; ++i) {
    text += " xmlns:ns" + std::to_string(i) + "=\"urn:example:" + std::to_string(i) + "\"";
  }
  text += ">";
  for (int i = 0; i < children; ++i) text += "<item n=\"" + std::to_string(i) + "\"/>";
  return text + "</root>";
}

TEST(NamespaceSharing, ReadsFortyDeclarationsOverAHundredThousandChildren) {
  const std::string text = many_inheriting_children(40, 100000);
  ASSERT_GT(text.size(), std::size_t{1600000});
  auto root = parse(text);
  ASSERT_TRUE(root) << root.error().message();
  ASSERT_EQ(root->children.size(), 100000u);
  ASSERT_EQ(root->namespaces->size(), 40u);
  for (const auto& node : root->children) {
    ASSERT_TRUE(node.as_element()->namespaces.shares_with(root->namespaces));
  }
}

TEST(NamespaceSharing, GivesADeclaringElementItsOwnBindingsAndSharesThemBelow) {
  auto root = parse(
      "<r xmlns:p=\"urn:p\"><a xmlns:q=\"urn:q\"><b/></a><c/><d xmlns:p=\"urn:p2\"/>"
      "<e xmlns=\"urn:d\"><f xmlns=\"\"/></e></r>");
  ASSERT_TRUE(root);
  const Element* a = child(*root, "a");
  EXPECT_EQ(a->namespaces, (Namespaces{{"p", "urn:p"}, {"q", "urn:q"}}));
  EXPECT_TRUE(child(*a, "b")->namespaces.shares_with(a->namespaces));
  EXPECT_TRUE(child(*root, "c")->namespaces.shares_with(root->namespaces));
  EXPECT_EQ(child(*root, "d")->namespaces, (Namespaces{{"p", "urn:p2"}}));
  const Element* e = child(*root, "e");
  EXPECT_EQ(e->namespaces, (Namespaces{{"", "urn:d"}, {"p", "urn:p"}}));
  EXPECT_EQ(child(*e, "f")->namespaces, (Namespaces{{"p", "urn:p"}}));
  EXPECT_FALSE(child(*e, "f")->namespaces.shares_with(root->namespaces));
}

TEST(NamespaceSharing, ComparesBindingsByContentNotByIdentity) {
  auto first = parse("<r xmlns:p=\"urn:p\"><c/></r>");
  auto second = parse("<r xmlns:p=\"urn:p\"><c/></r>");
  ASSERT_TRUE(first && second);
  EXPECT_FALSE(first->namespaces.shares_with(second->namespaces));
  EXPECT_EQ(*first, *second);
  Element changed = *first;
  changed.children[0].as_element()->namespaces = Namespaces{{"p", "urn:other"}};
  EXPECT_NE(changed, *first);
  EXPECT_EQ(first->children[0].as_element()->namespaces, (Namespaces{{"p", "urn:p"}}));
  changed.children[0].as_element()->namespaces.reset();
  EXPECT_EQ(changed.children[0].as_element()->namespaces, std::nullopt);
}

TEST(NamespaceSharing, WritesSharedBindingsOnceAndReadsThemBack) {
  auto root = parse(many_inheriting_children(3, 3));
  ASSERT_TRUE(root);
  auto written = write_xml_string(*root);
  ASSERT_TRUE(written);
  EXPECT_EQ(*written,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root xmlns:ns0=\"urn:example:0\" "
            "xmlns:ns1=\"urn:example:1\" xmlns:ns2=\"urn:example:2\">\n  <item n=\"0\"/>\n"
            "  <item n=\"1\"/>\n  <item n=\"2\"/>\n</root>");
  auto reread = parse(*written);
  ASSERT_TRUE(reread);
  EXPECT_EQ(*reread, *root);
}

}  // namespace
