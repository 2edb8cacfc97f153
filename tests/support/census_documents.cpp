// Faults of the library's reader, writer and validation: a strict run must catch each although
// the library judges its own documents no more, and each case it writes must replay.
#include <algorithm>
#include <unordered_set>

#include "support/census_call.hpp"

namespace kivo::test::census {
namespace {

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

void erase_message(std::vector<std::string>& messages, const std::string& message) {
  std::erase(messages, message);
}

}  // namespace

std::vector<PlantedFault> document_faults() {
  Faults f;
  f.reader("text before a CDATA section read after it", [](Element& root) {
    each_element(root, [](Element& e) {
      for (std::size_t i = 0; i + 1 < e.children.size(); ++i) {
        if (std::holds_alternative<Text>(e.children[i].value) &&
            std::holds_alternative<CData>(e.children[i + 1].value)) {
          std::swap(e.children[i], e.children[i + 1]);
          ++i;
        }
      }
    });
  });
  f.reader("text read trimmed", [](Element& root) {
    each_element(root, [](Element& e) {
      for (XMLNode& node : e.children) {
        if (auto* text = std::get_if<Text>(&node.value)) {
          std::string& t = text->text;
          while (!t.empty() && is_space(t.back())) t.pop_back();
          t.erase(0, std::min(t.find_first_not_of(" \t\n\r"), t.size()));
        }
      }
    });
  });
  f.reader("comments read without their padding", [](Element& root) {
    each_element(root, [](Element& e) {
      for (XMLNode& node : e.children) {
        if (auto* comment = std::get_if<Comment>(&node.value)) {
          std::string& t = comment->text;
          if (t.starts_with(' ')) t.erase(0, 1);
          if (t.ends_with(' ')) t.pop_back();
        }
      }
    });
  });
  f.writer("writer leaves '&' unescaped", "&amp;", "&");
  f.writer("writer leaves '\"' unescaped in attributes", "&quot;", "\"");
  f.writer("writer loses the split of ']]>' in CDATA", "]]]]><![CDATA[>", "]]>");
  f.validation("validation keeps the identifiers of its last call",
               [](const Element& root, auto& messages) {
                 // The identifiers seen by the previous call count as seen in this one.
                 static std::unordered_set<std::string> last_call;
                 std::unordered_set<std::string> seen;
                 std::vector<std::string> extra;
                 each_element(const_cast<Element&>(root), [&](Element& e) {
                   const std::string* id = e.attr("uniqueId");
                   if (id && !id->empty() && seen.insert(*id).second && last_call.contains(*id))
                     extra.push_back("Duplicate uniqueId detected: " + *id);
                 });
                 messages.insert(messages.end(), extra.begin(), extra.end());
                 last_call = std::move(seen);
               });
  f.validation("validation ends after a wrong root", [](const Element& root, auto& messages) {
    if (root.name != "XmlState" && !messages.empty()) messages.resize(1);
  });
  f.validation("screens holding only a comment accepted", [](const Element& root, auto& messages) {
    const Element* setup = xml::child(root, "ScreenSetup");
    const Element* screens = setup ? xml::child(*setup, "screens") : nullptr;
    if (screens && !screens->children.empty()) {
      erase_message(messages, "No screen nodes found in <screens>.");
    }
  });
  return f.list;
}

}  // namespace kivo::test::census
