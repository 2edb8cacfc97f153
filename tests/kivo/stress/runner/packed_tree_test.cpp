// Corpus documents wait packed between pairs; a packed tree must unpack to the very tree packed.
#include <gtest/gtest.h>

#include <string>

#include "kivo/stress/generator.hpp"
#include "kivo/stress/runner/packed_tree.hpp"
#include "kivo/xml_utils.hpp"
#include "support/presets.hpp"

namespace kivo::stress::runner {
namespace {

using namespace kivo::test;

// Every node kind, every optional part present and absent, lengths across the one-, two- and
// three-byte counts, and names past the store's length limit (they own their spelling).
Element assorted() {
  Element root = parse_doc(
      "<r xmlns='urn:d' xmlns:p='urn:p'><p:a p:x='1' y=''>t<![CDATA[c]]><!--m--><?pi?><?pi d?>"
      "<b xmlns=''><c/></b><p:a xmlns:q='urn:q'><q:e/></p:a></p:a></r>");
  Element& inner = *root.children[0].as_element();
  inner.set_attr("long", std::string(200, 'v'));
  inner.set_attr("longer", std::string(20000, 'w'));
  inner.set_attr(std::string(300, 'n'), "owned name");
  inner.children.push_back(XMLNode{Element::make(std::string(400, 'E'))});
  inner.children.push_back(XMLNode{ProcessingInstruction{"empty", std::string()}});
  inner.children.push_back(XMLNode{Text{std::string(130, ' ')}});
  return root;
}

Element nested(std::size_t depth) {
  Element root = Element::make("XmlState");
  Element* at = &root;
  for (std::size_t i = 0; i < depth; ++i) {
    at->children.push_back(XMLNode{Element::make("n")});
    at = at->children.back().as_element();
  }
  at->set_attr("uniqueId", "1");
  return root;
}

// Whether each element shares its bindings with its parent exactly as in `expected`.
void expect_same_sharing(const Element& expected, const Element& actual) {
  ASSERT_EQ(expected.children.size(), actual.children.size());
  for (std::size_t i = 0; i < expected.children.size(); ++i) {
    const Element* want = expected.children[i].as_element();
    if (want == nullptr) continue;
    const Element& got = *actual.children[i].as_element();
    EXPECT_EQ(want->namespaces.shares_with(expected.namespaces),
              got.namespaces.shares_with(actual.namespaces))
        << want->name;
    expect_same_sharing(*want, got);
  }
}

TEST(PackedTree, UnpacksToTheTreePacked) {
  StressConfig config;
  config.docs = 6;
  config.seed = 7;
  auto corpus = generator::generate_docs(load_template(), config);
  ASSERT_TRUE(corpus.has_value());
  std::vector<Element> trees = {load_template(), assorted(), nested(1000), Element{},
                                Element::make("XmlState")};
  for (auto& doc : *corpus) trees.push_back(std::move(doc.doc));
  for (const Element& tree : trees) {
    const PackedTree packed(tree);
    const Element unpacked = packed.unpack();
    EXPECT_EQ(unpacked, tree) << tree.name;
    EXPECT_EQ(xml_utils::write_xml_string(unpacked), xml_utils::write_xml_string(tree));
    expect_same_sharing(tree, unpacked);
    EXPECT_EQ(PackedTree(unpacked).unpack(), tree);
  }
  EXPECT_EQ(PackedTree().unpack(), Element{});
  // The point of packing: a fraction of the tree's memory.
  const std::string text = written(trees[0]);
  EXPECT_LT(PackedTree(trees[0]).size_bytes(), text.size());
}

}  // namespace
}  // namespace kivo::stress::runner
