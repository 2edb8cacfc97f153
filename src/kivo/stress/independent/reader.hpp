#pragma once

// The parts of the independent reader: pugixml splits the markup, everything it would decide
// on its own (references, entities, namespaces, white space, what is well-formed) is done here.

#include <cstddef>
#include <expected>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace kivo::stress::independent::detail {

/// Why a text is refused, and where (a byte offset into the text pugixml reads).
struct Refusal {
  std::string reason;
  std::size_t offset = 0;
};
/// An outcome that is either fine or refused.
using Checked = std::expected<void, Refusal>;

// Characters (characters.cpp).

/// Space, tab, line feed or carriage return.
bool is_space(char c);
/// True when `text` holds only XML white space (or nothing).
bool is_blank(std::string_view text);
/// True for a character XML 1.0 allows in a document.
bool is_xml_char(char32_t code);
/// One decoded UTF-8 sequence; `length` is 0 when the bytes are not well-formed UTF-8.
struct Decoded {
  char32_t code = 0;
  std::size_t length = 0;
};
/// The UTF-8 sequence at `text[at]`.
Decoded decode_utf8(std::string_view text, std::size_t at);
/// Appends `code` in UTF-8.
void append_utf8(std::string& out, char32_t code);
/// Offset of the first invalid UTF-8 sequence or character XML forbids, if any.
std::optional<std::size_t> first_invalid_character(std::string_view utf8);
/// `text` with CR LF and lone CR turned into LF; `text` itself when it has no CR.
std::string_view unified_line_ends(std::string_view text, std::string& storage);
/// " at line L, column C" of `offset` in `text`, both from 1.
std::string position_in(std::string_view text, std::size_t offset);

// Names (names.cpp).

/// True for an XML name (BMP characters only, as the library's reader has it).
bool is_name(std::string_view text);
/// True for an XML name without colon.
bool is_ncname(std::string_view text);
/// A qualified name split at its colon.
struct QName {
  std::string_view prefix;  // empty when there is none
  std::string_view local;
};
/// `text` split as a qualified name, or nothing when it is not one.
std::optional<QName> split_qname(std::string_view text);
/// `text` in single quotes, for the reason of a refusal.
std::string quoted(std::string_view text);

// Prolog (prolog.cpp).

/// The text after the byte order mark, in UTF-8, and what its XML declaration says.
class Prolog {
 public:
  /// The UTF-8 text pugixml reads.
  std::string_view text() const { return converted_ ? std::string_view(storage_) : text_; }
  bool standalone() const { return standalone_; }
  /// True when text() starts with an XML declaration.
  bool declared() const { return declared_; }

  /// Checks the encoding, the declaration and the characters of `input` (refusals positioned).
  static std::expected<Prolog, std::string> read(std::string_view input);

 private:
  std::expected<Prolog, std::string> take_encoding(std::string_view encoding) &&;

  std::string_view text_;
  std::string storage_;
  bool converted_ = false;
  bool standalone_ = false;
  bool declared_ = false;
};

// Document type (doctype.cpp).

/// Bound on the bytes that entity expansion may produce over one reading.
class Budget {
 public:
  explicit Budget(std::size_t input_size);
  /// False once `bytes` more would exceed the bound.
  bool spend(std::size_t bytes);
  std::size_t limit() const { return limit_; }

 private:
  std::size_t limit_;
  std::size_t used_ = 0;
};

/// A general entity of the internal subset.
struct Entity {
  enum class Kind { Internal, External, Unparsed };
  Kind kind = Kind::Internal;
  /// Replacement text: character references resolved, entity references kept.
  std::string replacement;
  // State of the one reading that owns the entity: the replacement parsed once (when it holds
  // markup), and whether it is being expanded, so that recursion is refused.
  mutable std::unique_ptr<pugi::xml_document> fragment;
  mutable bool open = false;
};

/// A default or type given to an attribute by an ATTLIST declaration.
struct AttributeRule {
  std::string name;
  std::optional<std::string> default_value;
  /// Any type but CDATA: values lose leading, trailing and repeated spaces.
  bool tokenized = false;
};

/// What the internal subset declares that changes the reading.
struct Dtd {
  std::map<std::string, Entity, std::less<>> entities;
  std::map<std::string, std::vector<AttributeRule>, std::less<>> attributes;
  // An external subset or a parameter entity reference may declare entities that are never
  // read, so references to undeclared entities produce nothing (unless the text is standalone).
  bool skips_undeclared = false;

  /// The entity `name`, or nullptr.
  const Entity* entity(std::string_view name) const;
  /// The attribute rules of element `qname`, or nullptr.
  const std::vector<AttributeRule>* rules_of(std::string_view qname) const;
};

/// Reads the value of pugixml's doctype node (the text between "<!DOCTYPE" and ">").
std::expected<Dtd, Refusal> read_doctype(std::string_view value, bool standalone, Budget& budget);

// References (references.cpp).

/// A reference at the start of a text: a character (name empty) or an entity name.
struct Reference {
  std::size_t length = 0;
  char32_t code = 0;
  std::string_view name;
};
/// The reference at the start of `text` (which begins with '&'), or why it is malformed.
std::expected<Reference, std::string> parse_reference(std::string_view text);
/// The character a predefined entity (lt, gt, amp, apos, quot) stands for.
std::optional<std::string_view> predefined_entity(std::string_view name);
// Literal white space becomes spaces (CR LF one space when `raw_line_ends`), references are
// resolved, '<' is refused.
/// Appends the value of attribute text `raw`, or says why it is malformed.
std::expected<void, std::string> resolve_attribute(std::string_view raw, bool raw_line_ends,
                                                   const Dtd& dtd, Budget& budget,
                                                   std::string& out);
/// Drops leading and trailing spaces and turns runs of spaces into one.
void collapse_spaces(std::string& value);

// Namespaces (namespaces.cpp).

/// A prefix ("" for the default namespace) and its URI.
using Binding = std::pair<std::string_view, std::string_view>;

/// The namespace bindings in force while elements open and close.
class Scope {
 public:
  /// Starts the declarations of an element.
  void open() { marks_.push_back(bindings_.size()); }
  /// Ends the element opened last, with its declarations.
  void close();
  /// Binds `prefix` (empty: the default namespace; empty `uri` undeclares it), or says why not.
  std::expected<void, std::string> declare(std::string_view prefix, std::string_view uri);
  /// The URI `prefix` is bound to, or nothing.
  std::optional<std::string_view> uri_of(std::string_view prefix) const;
  /// Fills `out` with the bindings in force, sorted by prefix.
  void in_force(std::vector<Binding>& out) const;

 private:
  struct Declared {
    std::string prefix;
    std::string uri;  // empty: the default namespace undeclared
  };
  std::vector<Declared> bindings_;
  std::vector<std::size_t> marks_;
  struct PrefixHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view prefix) const {
      return std::hash<std::string_view>{}(prefix);
    }
  };
  /// Per prefix, the positions of its bindings, for lookups among many bindings.
  std::unordered_map<std::string, std::vector<std::size_t>, PrefixHash, std::equal_to<>> positions_;
};

// Start tags (start_tag.cpp).

/// An element as the independent reader reads its start tag.
struct StartTag {
  QName name;
  /// The namespace of the element, nothing when it has none.
  std::optional<std::string_view> uri;
  /// Local names and values, without declarations, the first of a local name only.
  std::vector<Binding> attributes;
  /// True when the element declares namespaces; `bindings` then holds all in force.
  bool declares = false;
  std::vector<Binding> bindings;
};

/// Reads start tags against the document type and the namespaces in force.
class StartTagReader {
 public:
  StartTagReader(const Dtd& dtd, Budget& budget, std::size_t binding_limit)
      : dtd_(dtd), budget_(budget), binding_limit_(binding_limit) {}
  /// Reads `element` and opens its declarations in `scope`; the tag lives until the next call.
  std::expected<const StartTag*, std::string> read(pugi::xml_node element, Scope& scope);

 private:
  struct Raw {
    std::string_view qname;
    std::string_view value;
  };
  std::expected<void, std::string> gather(pugi::xml_node element);
  std::expected<void, std::string> declare(Scope& scope);
  std::expected<void, std::string> resolve(pugi::xml_node element, const Scope& scope);
  std::expected<void, std::string> take_attributes(const Scope& scope);

  const Dtd& dtd_;
  Budget& budget_;
  std::size_t binding_limit_;
  std::size_t recorded_bindings_ = 0;
  std::vector<Raw> raw_;
  std::vector<std::string> values_;
  std::vector<std::pair<std::string_view, std::string_view>> expanded_;
  StartTag tag_;
};

// The walk (walk.cpp).

/// Receives the nodes of a reading in document order; each call returns false to stop it.
class Visitor {
 public:
  virtual ~Visitor() = default;
  virtual bool start(const StartTag& tag) = 0;
  virtual bool end() = 0;
  /// Adjacent character data merged, never only white space.
  virtual bool text(std::string_view text) = 0;
  virtual bool cdata(std::string_view text) = 0;
  virtual bool comment(std::string_view text) = 0;
  /// `data` empty when the instruction has none.
  virtual bool instruction(std::string_view target, std::string_view data) = 0;
};

/// Reads `text` into `visitor`, or says why the text is refused (reason and position).
std::expected<void, std::string> read(std::string_view text, Visitor& visitor);

}  // namespace kivo::stress::independent::detail
