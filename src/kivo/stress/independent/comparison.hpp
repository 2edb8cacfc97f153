#pragma once

// Comparing the independent reading with the library's tree node by node, as it is read.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kivo/element.hpp"
#include "kivo/stress/independent/reader.hpp"

namespace kivo::stress::independent::detail {

// Wording (wording.cpp).

/// "the library reads <library> at <place> where the independent reader reads <independent>".
std::string difference_text(const std::string& library, const std::string& place,
                            const std::string& independent);
/// A node of the library's tree: "element <p:Name>", "text '...'", "processing instruction ...".
std::string node_words(const XMLNode& node);
/// An element of the library's tree, with its namespace when `with_namespace`.
std::string element_words(const Element& element, bool with_namespace);
/// An element as the independent reader reads it, with its namespace when `with_namespace`.
std::string element_words(const StartTag& tag, bool with_namespace);
/// "text '...'", "CDATA '...'" or "comment '...'".
std::string character_words(std::string_view kind, std::string_view text);
/// "processing instruction 'target' 'data'" or "... without data".
std::string instruction_words(std::string_view target, const std::string_view* data);
/// "attribute 'name'='value'".
std::string attribute_words(std::string_view name, std::string_view value);
/// "namespace bindings xmlns='...' xmlns:p='...'" or "no namespace bindings".
std::string bindings_words(const std::vector<Binding>& bindings);
/// The same for the bindings recorded on a library element.
std::string bindings_words(const InScopeNamespaces& namespaces);

/// Follows a reading along the library's tree and keeps the first difference.
class Comparison : public Visitor {
 public:
  explicit Comparison(const Element& library_root) : root_(library_root) {}

  /// The first difference, once the reading stopped at it.
  const std::optional<std::string>& difference() const { return difference_; }

  bool start(const StartTag& tag) override;
  bool end() override;
  bool text(std::string_view text) override;
  bool cdata(std::string_view text) override;
  bool comment(std::string_view text) override;
  bool instruction(std::string_view target, std::string_view data) override;

 private:
  struct Frame {
    const Element* element;
    std::size_t next = 0;   // the library child the reading meets next
    std::size_t index = 0;  // the element's place among its parent's children
  };

  /// Takes the library's next child for a node of the reading; false after a difference.
  template <class Matches, class Words>
  bool leaf(Matches matches, Words independent_words);
  bool differ(const std::string& library, const std::string& place, const std::string& independent);
  bool same_element(const Element& library, const StartTag& tag);
  bool same_attributes(const Element& library, const StartTag& tag);
  bool same_bindings(const Element& library, const StartTag& tag);
  /// The place of the open element, "/Root/Child#2".
  std::string place() const;
  /// The place of the open element's child `index`, "/Root/Child#2/#4" or ".../Name#4".
  std::string child_place(std::size_t index) const;

  const Element& root_;
  std::vector<Frame> frames_;
  std::optional<std::string> difference_;
};

}  // namespace kivo::stress::independent::detail
