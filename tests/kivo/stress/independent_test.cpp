// The independent reader: it reads what the library reads, names the first node where a tree
// differs from its own reading, and refuses what the library refuses.
#include "kivo/stress/independent.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "kivo/xml_utils.hpp"
#include "support/presets.hpp"

namespace kivo::stress::independent {
namespace {

using test::read_whole_file;

std::string nested(std::size_t depth) {
  std::string text;
  for (std::size_t i = 0; i < depth; ++i) text += "<a>";
  for (std::size_t i = 0; i < depth; ++i) text += "</a>";
  return text;
}

// The entity bomb of the library's parse test: ten levels of ten references.
std::string entity_bomb() {
  std::string bomb = "<?xml version=\"1.0\"?>\n<!DOCTYPE bomb [\n<!ENTITY e0 \"lollollollol\">\n";
  for (int level = 1; level <= 10; ++level) {
    bomb += "<!ENTITY e" + std::to_string(level) + " \"";
    for (int i = 0; i < 10; ++i) bomb += "&e" + std::to_string(level - 1) + ";";
    bomb += "\">\n";
  }
  return bomb + "]>\n<bomb>&e10;</bomb>";
}

// Entity e<n> holds `each` and a reference to e<n-1>: expansion nests `length` deep.
std::string entity_chain(int length, const std::string& each) {
  std::string text = "<!DOCTYPE r [<!ENTITY e0 '" + each + "'>";
  for (int i = 1; i < length; ++i) {
    text += "<!ENTITY e" + std::to_string(i) + " '" + each + "&e" + std::to_string(i - 1) + ";'>";
  }
  return text + "]><r>&e" + std::to_string(length - 1) + ";</r>";
}

// The independent tree refuses what the independent reader refuses, for the same reason; else
// the comparison finds no difference in it, and it is the library's tree where the library
// reads the text.
void expect_tree_as_read(const std::string& text,
                         const std::expected<Element, ParseError>& library) {
  const auto tree = read_tree(text);
  const auto readable = check_readable(text);
  ASSERT_EQ(tree.has_value(), readable.has_value()) << text.substr(0, 60);
  if (!tree) {
    EXPECT_EQ(tree.error(), readable.error());
    return;
  }
  EXPECT_EQ(reading_difference(text, *tree), std::nullopt) << text.substr(0, 60);
  if (library) {
    EXPECT_TRUE(*tree == *library) << text.substr(0, 60);
  }
}

TEST(IndependentReading, AgreesWithTheLibraryOnTheTemplateAndEveryCorpusFile) {
  std::vector<std::filesystem::path> files = {test::kBundledTemplate};
  for (const char* folder : {"/fuzz/corpus/xml_round_trip", "/tests/data"}) {
    for (const auto& entry :
         std::filesystem::recursive_directory_iterator(KIVO_SOURCE_DIR + std::string(folder))) {
      if (entry.path().extension() == ".xml") files.push_back(entry.path());
    }
  }
  ASSERT_GE(files.size(), 20u);
  for (const auto& file : files) {
    const std::string text = read_whole_file(file);
    const auto library = xml_utils::parse(text);
    EXPECT_EQ(reading_difference(text, library), std::nullopt) << file;
    expect_tree_as_read(text, library);
  }
}

// Each rule of the library's reader, read alike by both: the library accepts each text.
TEST(IndependentReading, AgreesWithTheLibraryOnEachRule) {
  const std::string latin1 = "<?xml version='1.0' encoding='ISO-8859-1'?><r v='\xE9'>\xFC</r>";
  const std::pair<const char*, std::string> cases[] = {
      {"mixed content", "<r>a <b>x</b> c<d/>e</r>"},
      {"CDATA beside text", "<r>a<![CDATA[b]]>c<![CDATA[]]><![CDATA[ ]]></r>"},
      {"blank text dropped, merged across references",
       "<r> <a> \t\r\n</a><b>&#32;&#xA;</b>&#32; x&amp;y </r>"},
      {"comments and instructions",
       "<!--o--><?o?><r><!--c--><!----><?p  data ?><?bare?><?e ?></r><!--o-->"},
      {"CR LF and lone CR",
       "<r a='x\r\ny\rz'>a\r\nb\rc<![CDATA[\r\n]]><!--\r\n--><?p \r\n?><?q a\r\nb\rc?></r>"},
      {"references in text", "<r>&lt;&gt;&amp;&apos;&quot;&#65;&#x42;&#xD;&#xA;&#x10000;</r>"},
      {"references in attributes", "<r a='&#xA;&#9;&#xD;&lt;' b=\"&quot;'\" c='\t'/>"},
      {"namespaces",
       "<p:r xmlns:p='urn:p' xmlns='urn:d'><f xmlns:p='urn:p2'/><e xmlns=''/>"
       "<c/><p:c p:a='1' b='2'/><xml:x xml:lang='en'/></p:r>"},
      {"default namespace undeclared", "<r xmlns='urn:d'><e xmlns=''><f/></e><g/></r>"},
      {"attribute clash: the first wins", "<r xmlns:p='urn:p' p:a='1' a='2' b='3' p:b='4'/>"},
      {"internal entities",
       "<!DOCTYPE r [<!ENTITY e \"ent&#38;#38;ity\"><!ENTITY f 'x&e;'>]>"
       "<r a='&f;'>&e;&f;</r>"},
      {"entities with markup",
       "<!DOCTYPE r [<!ENTITY e '<b x=\"&#9;\">t</b><!--c-->u'>]>"
       "<r>a&e;b<![CDATA[&e;]]></r>"},
      {"character references in entities",
       "<!DOCTYPE r [<!ENTITY e 'a&#13;&#10;b'><!ENTITY f '<!--&#13;&#10;--><?p &#13;&#10;x?>'>]>"
       "<r a='&e;'>&e;&f;<![CDATA[&#13;]]></r>"},
      {"external entities produce nothing",
       "<!DOCTYPE r [<!ENTITY x SYSTEM 'file:///etc/hostname'>]><r>a&x;b</r>"},
      {"undeclared entities skipped beside an external subset",
       "<!DOCTYPE r SYSTEM 'x.dtd'><r a='&u;'>&u;</r>"},
      {"attribute defaults and tokenized types",
       "<!DOCTYPE r [<!ATTLIST r a CDATA 'd' t NMTOKENS ' x  y ' xmlns:p CDATA 'urn:p'>]>"
       "<r t=' 1  2 '><p:c/></r>"},
      {"ISO-8859-1", latin1},
      {"byte order mark and declaration",
       "\xEF\xBB\xBF<?xml version='1.0' encoding='UTF-8' standalone='yes'?>\n<r/>"},
      {"deepest nesting", nested(1000)},
      {"long entity chains", entity_chain(20000, "x")},
      {"long entity chains with markup", entity_chain(2000, "<e/>")},
  };
  for (const auto& [rule, text] : cases) {
    auto library = xml_utils::parse(text);
    ASSERT_TRUE(library) << rule << ": " << library.error().message();
    EXPECT_EQ(reading_difference(text, *library), std::nullopt) << rule;
    expect_tree_as_read(text, library);
  }
}

// `count` attributes `pattern` with "#" replaced by 1, 2, ...
std::string repeated(int count, const std::string& pattern) {
  std::string text;
  for (int i = 1; i <= count; ++i) {
    std::string one = pattern;
    for (std::size_t at; (at = one.find('#')) != std::string::npos;) {
      one.replace(at, 1, std::to_string(i));
    }
    text += one;
  }
  return text;
}

// Both readers accept the first texts and refuse the others: document types, names,
// namespaces, many attributes (hashed lookups), entities where they may not stand.
TEST(IndependentReading, AcceptsAndRefusesWhatTheLibraryDoes) {
  const std::string readable[] = {
      "<!DOCTYPE r PUBLIC \"-//k//x\" \"r.dtd\" [<!NOTATION n PUBLIC \"p\"><!NOTATION m PUBLIC "
      "'p' 's'><!NOTATION o SYSTEM 's'><!ENTITY u SYSTEM 'u' NDATA n><!ELEMENT r (#PCDATA|a:b)*>"
      "<!ELEMENT a:b (c?,(d|e)+)><!ELEMENT c EMPTY><!ATTLIST r t NOTATION (n|m) 'n' v (x:1|y) "
      "'x:1'><!-- c --><?p d?>]><r>&#x20AC;<![CDATA[x]]><!--c--><?p?></r>",
      "<!DOCTYPE r [%pe; <!ENTITY e 'x'>]><r>&e;</r>",
      "<?xml version='1.0' standalone='yes'?><!DOCTYPE r [%pe; <!ENTITY e 'x'>]><r>&e;</r>",
      "<\xC3\xA9\xC2\xB7\xCC\x80/>",
      "<r" + repeated(20, " a#='#' p:a#='x' xmlns:p#='u#'") + " xmlns:p='u'><p3:a p20:b='1'/></r>",
  };
  const std::string refused[] = {
      "<!DOCTYPE r [<!ENTITY u SYSTEM 'u' NDATA n>]><r>&u;</r>",
      "<!DOCTYPE r [<!ENTITY u SYSTEM 'u' NDATA n>]><r a='&u;'/>",
      "<!DOCTYPE r [<!ENTITY e '&u;'>]><r a='&e;'/>",
      "<!DOCTYPE r PUBLIC '{' 's'><r/>",
      "<!DOCTYPE r PUBLIC 'p'><r/>",
      "<!DOCTYPE r [<!ELEMENT r (a))>]><r/>",
      "<!DOCTYPE r [<!ELEMENT r (a>]><r/>",
      "<!DOCTYPE r [<!ELEMENT r a>]><r/>",
      "<!DOCTYPE r [<!ELEMENT r (a:)>]><r/>",
      "<!DOCTYPE r [<!NOTATION n:m SYSTEM 's'>]><r/>",
      "<!DOCTYPE r [<!ATTLIST r a NOTATION(n) #IMPLIED>]><r/>",
      "<!DOCTYPE r [<!ATTLIST r a (x|) #IMPLIED>]><r/>",
      "<!DOCTYPE r [<!ATTLIST r a (x|y #IMPLIED>]><r/>",
      "<!DOCTYPE r [<!ATTLIST r a FOO #IMPLIED>]><r/>",
      "<!DOCTYPE r [<!ATTLIST r a CDATA #FIXED>]><r/>",
      "<!DOCTYPE r [<!-- a -- b -->]><r/>",
      "<!DOCTYPE r [<?xml x?>]><r/>",
      "<!DOCTYPE r [<?p?x?>]><r/>",
      "<!DOCTYPE r [%;]><r/>",
      "<!DOCTYPE r [<!FOO>]><r/>",
      "<!DOCTYPE r [<!ENTITY e SYSTEM 'u' NDATA>]><r/>",
      "<!DOCTYPE r [<!ENTITY e 'x' junk>]><r/>",
      "<!DOCTYPE r [<!ENTITY e 'x]]>y'>]><r>&e;</r>",
      "<!DOCTYPE r [<!ENTITY e '<a>'>]><r>&e;</r>",
      "<!DOCTYPE r [<!ENTITY e 'x<'>]><r>&e;</r>",
      "<!DOCTYPE r [<!ENTITY e \"<?xml version='1.0'?>\">]><r>&e;</r>",
      "<!DOCTYPE r [<!ENTITY e '<!DOCTYPE a>'>]><r>&e;</r>",
      "<!DOCTYPE r[]><!DOCTYPE r[]><r/>",
      "<!DOCTYPEr><r/>",
      "<r><!DOCTYPE r></r>",
      "<r a='&#x;'/>",
      "<r xmlns:xml='urn:x'/>",
      "<r xmlns:p='http://www.w3.org/XML/1998/namespace'/>",
      "<r xmlns='http://www.w3.org/2000/xmlns/'/>",
      "<r xmlns:p=''/>",
      "<r xmlns:='u'/>",
      "<r a:b:c='1'/>",
      "<r><a:b:c/></r>",
      "<r><?XmL x?></r>",
      "<r\xF0\x90\x80\x80/>",
      "<r" + repeated(20, " a#='#'") + " a3='x'/>",
      "<r xmlns:p='u' xmlns:q='u'" + repeated(20, " p:a#='#'") + " q:a7='x'/>",
      entity_bomb().replace(entity_bomb().find("<bomb>&e10;</bomb>"), 18, "<bomb a='&e10;'/>"),
  };
  for (const auto& text : readable) {
    auto library = xml_utils::parse(text);
    EXPECT_TRUE(library) << text;
    EXPECT_TRUE(check_readable(text)) << text;
    EXPECT_EQ(reading_difference(text, library), std::nullopt) << text;
    expect_tree_as_read(text, library);
  }
  for (const auto& text : refused) {
    const auto library = xml_utils::parse(text);
    EXPECT_FALSE(library) << text;
    EXPECT_FALSE(check_readable(text)) << text;
    expect_tree_as_read(text, library);
  }
}

TEST(IndependentReading, NamesTheFirstDifferenceWithBothReadings) {
  const std::string text =
      "<r a='1' b='2'> t\n<![CDATA[c]]><!--k--><?p d?><q:e xmlns:q='urn:q'/><f/></r>";
  const Element read = test::parse_doc(text);
  auto child = [](Element& r, std::size_t i) -> XMLNode& { return r.children[i]; };
  auto element = [&](Element& r, std::size_t i) -> Element& { return *child(r, i).as_element(); };
  const std::string at = " where the independent reader reads ";
  const struct {
    std::function<void(Element&)> change;
    std::string message;
  } cases[] = {
      {[&](Element& r) { std::swap(child(r, 0), child(r, 1)); },
       "the library reads CDATA 'c' at /r/#0" + at + "text ' t\\n'"},
      {[&](Element& r) { child(r, 0) = XMLNode{Text{"t"}}; },
       "the library reads text 't' at /r/#0" + at + "text ' t\\n'"},
      {[&](Element& r) { child(r, 1) = XMLNode{Text{"c"}}; },
       "the library reads text 'c' at /r/#1" + at + "CDATA 'c'"},
      {[&](Element& r) { child(r, 2) = XMLNode{Comment{"K"}}; },
       "the library reads comment 'K' at /r/#2" + at + "comment 'k'"},
      {[&](Element& r) {
         child(r, 3) = XMLNode{ProcessingInstruction{"p", "x"}};
       },
       "the library reads processing instruction 'p' 'x' at /r/#3" + at +
           "processing instruction 'p' 'd'"},
      {[&](Element& r) {
         child(r, 3) = XMLNode{ProcessingInstruction{"p", std::nullopt}};
       },
       "the library reads processing instruction 'p' without data at /r/#3" + at +
           "processing instruction 'p' 'd'"},
      {[](Element& r) { r.set_attr("a", "9"); },
       "the library reads attribute 'a'='9' at /r" + at + "attribute 'a'='1'"},
      {[](Element& r) { r.attributes.remove("a"); },
       "the library reads nothing at /r" + at + "attribute 'a'='1'"},
      {[](Element& r) { r.set_attr("c", "3"); },
       "the library reads attribute 'c'='3' at /r" + at + "nothing"},
      {[](Element& r) { std::swap(r.attributes.entries()[0], r.attributes.entries()[1]); },
       "the library reads attribute 'b'='2' at /r" + at + "attribute 'a'='1'"},
      {[&](Element& r) { element(r, 5).name = "g"; },
       "the library reads element <g> at /r/g#5" + at + "element <f>"},
      {[&](Element& r) { element(r, 4).prefix.reset(); },
       "the library reads element <e> at /r/e#4" + at + "element <q:e>"},
      {[&](Element& r) { element(r, 4).namespace_uri = "urn:x"; },
       "the library reads element <q:e> in namespace 'urn:x' at /r/e#4" + at +
           "element <q:e> in namespace 'urn:q'"},
      {[&](Element& r) {
         element(r, 4).namespaces = Namespaces{{"q", "urn:x"}};
       },
       "the library reads namespace bindings xmlns:q='urn:x' at /r/e#4" + at +
           "namespace bindings xmlns:q='urn:q'"},
      {[&](Element& r) { element(r, 4).namespaces.reset(); },
       "the library reads no namespace bindings at /r/e#4" + at +
           "namespace bindings xmlns:q='urn:q'"},
      {[&](Element& r) { child(r, 0) = XMLNode{test::el("x")}; },
       "the library reads element <x> at /r/x#0" + at + "text ' t\\n'"},
      {[](Element& r) { r.children.push_back(XMLNode{Text{"x"}}); },
       "the library reads text 'x' at /r/#6" + at + "nothing"},
      {[](Element& r) { r.children.pop_back(); },
       "the library reads nothing at /r/#5" + at + "element <f>"},
      {[&](Element& r) { element(r, 5).children.push_back(XMLNode{Comment{"z"}}); },
       "the library reads comment 'z' at /r/f#5/#0" + at + "nothing"},
      {[](Element& r) { r.name = "R"; },
       "the library reads element <R> at /R" + at + "element <r>"},
  };
  for (const auto& c : cases) {
    Element changed = read;
    c.change(changed);
    EXPECT_EQ(reading_difference(text, changed).value_or("no difference"), c.message);
  }
  EXPECT_EQ(reading_difference(text, read), std::nullopt);
}

TEST(IndependentReading, NamesTheDeepPlaceOfADifferenceInTheTemplate) {
  const std::string text = read_whole_file(test::kBundledTemplate);
  Element changed = test::parse_doc(text);
  Element& screen =
      *changed.children[1].as_element()->children[0].as_element()->children[0].as_element();
  screen.set_attr("name", "Main Wal");
  EXPECT_EQ(reading_difference(text, changed),
            "the library reads attribute 'name'='Main Wal' at "
            "/XmlState/ScreenSetup#1/screens#0/Screen#0 where the independent reader reads "
            "attribute 'name'='Main Wall'");
}

// Both readers refuse; the independent one says why, with the position.
TEST(IndependentReading, RefusesHostileAndMalformedTextLikeTheLibrary) {
  std::string declarations = "<r";
  for (int i = 0; i < 1000; ++i) declarations += " xmlns:p" + std::to_string(i) + "='urn:u'";
  declarations += ">";
  for (int i = 0; i < 2000; ++i) declarations += "<c xmlns:q='urn:q'/>";
  declarations += "</r>";
  const std::pair<std::string, std::string> cases[] = {
      {entity_bomb(), "entity expansion beyond 8388608 bytes at line 15, column 7"},
      {"<r>&u;</r>", "undeclared entity 'u' at line 1, column 4"},
      {"<!DOCTYPE r [<!ENTITY e '&f;'><!ENTITY f '&e;'>]><r>&e;</r>",
       "recursive reference to entity 'e' at line 1, column 53"},
      {"<!DOCTYPE r [<!ENTITY x SYSTEM 'x'>]><r a='&x;'/>",
       "reference to external entity 'x' in an attribute value at line 1, column 39"},
      {nested(1001), "elements nested deeper than 1000 at line 1, column 3002"},
      {declarations, "more than " + std::to_string((1 << 20) + declarations.size()) +
                         " namespace bindings recorded at line 1, column 40995"},
      {"", "no root element at line 1, column 1"},
      {"<a/>x", "text outside the root element at line 1, column 5"},
      {"<a/><b/>", "more than one root element at line 1, column 6"},
      {"<a>\n<b></a>", "start-end tags mismatch at line 2, column 6"},
      {"<p:a/>", "unbound prefix 'p' at line 1, column 2"},
      {"<a x='1' x='2'/>", "duplicate attribute 'x' at line 1, column 2"},
      {"<a xmlns:p='u' xmlns:q='u' p:x='1' q:x='2'/>",
       "duplicate attribute 'x' in namespace 'u' at line 1, column 2"},
      {"<a x='<'/>", "'<' in an attribute value at line 1, column 2"},
      {"<a>]]></a>", "']]>' in character data at line 1, column 4"},
      {"<a><!-- - -- --></a>", "'--' in a comment at line 1, column 8"},
      {"<a>&#0;</a>", "reference to invalid character number at line 1, column 4"},
      {"<a>&amp</a>", "malformed entity reference at line 1, column 4"},
      {"<a>\x01</a>", "invalid character at line 1, column 4"},
      {"<a>\xC3</a>", "invalid character at line 1, column 4"},
      {"<?xml version='1.0' encoding='latin9'?><a/>",
       "unknown encoding 'latin9' at line 1, column 1"},
      {"<?xml version='1.0' standalone='maybe'?><a/>",
       "malformed XML declaration at line 1, column 1"},
      {" <?xml version='1.0'?><a/>",
       "XML declaration not at the start of the text at line 1, column 4"},
  };
  for (const auto& [text, reason] : cases) {
    auto library = xml_utils::parse(text);
    EXPECT_FALSE(library) << text.substr(0, 60);
    auto readable = check_readable(text);
    ASSERT_FALSE(readable) << text.substr(0, 60);
    EXPECT_EQ(readable.error(), reason);
    expect_tree_as_read(text, library);
    EXPECT_EQ(reading_difference(text, library), std::nullopt) << text.substr(0, 60);
    EXPECT_EQ(refusal_difference(text, false), std::nullopt);
  }
}

TEST(IndependentReading, ReportsATextOnlyOneReaderRefuses) {
  const std::string readable = "<r/>";
  const std::string refused = "<r>&u;</r>";
  EXPECT_EQ(refusal_difference(readable, false),
            "the library refuses the text where the independent reader reads it");
  EXPECT_EQ(refusal_difference(readable, true), std::nullopt);
  // The library also reads UTF-16; the independent reader does not.
  const std::string utf16("\xFF\xFE<\0r\0/\0>\0", 10);
  EXPECT_TRUE(xml_utils::parse(utf16));
  expect_tree_as_read(utf16, xml_utils::parse(utf16));
  EXPECT_EQ(refusal_difference(utf16, true),
            "the library reads the text where the independent reader refuses it: text in UTF-16 "
            "or UTF-32 is not read at line 1, column 1");
  EXPECT_EQ(refusal_difference(refused, true),
            "the library reads the text where the independent reader refuses it: undeclared "
            "entity 'u' at line 1, column 4");
  EXPECT_EQ(reading_difference(refused, test::el("r")),
            "the library reads the text where the independent reader refuses it: undeclared "
            "entity 'u' at line 1, column 4");
  const std::expected<Element, ParseError> library_refusal =
      std::unexpected(ParseError{ParseError::Kind::Malformed, "made up at line 1, column 1"});
  EXPECT_EQ(reading_difference(readable, library_refusal),
            "the library refuses the text (Malformed XML. made up at line 1, column 1) where the "
            "independent reader reads it");
}

}  // namespace
}  // namespace kivo::stress::independent
