#pragma once

#include <compare>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

namespace kivo {

/// An element or attribute name. Names repeat a few dozen times in a preset, so each distinct
/// name is stored once for the whole process and a Name is one pointer: copying it costs nothing
/// and two names compare by address. Behaves as an immutable `const std::string&`.
class Name {
 public:
  /// The empty name.
  Name() noexcept : bits_(empty_bits()) {}
  /// The name spelled `text`.
  explicit Name(std::string_view text);
  Name(const char* text) : Name(std::string_view(text)) {}
  Name(const std::string& text) : Name(std::string_view(text)) {}
  Name(const Name& other);
  Name(Name&& other) noexcept : bits_(other.bits_) { other.bits_ = empty_bits(); }
  Name& operator=(const Name& other);
  Name& operator=(Name&& other) noexcept;
  Name& operator=(std::string_view text) { return *this = Name(text); }
  Name& operator=(const std::string& text) { return *this = Name(std::string_view(text)); }
  Name& operator=(const char* text) { return *this = Name(std::string_view(text)); }
  ~Name();

  /// The spelling.
  const std::string& str() const noexcept {
    return *reinterpret_cast<const std::string*>(bits_ & ~kOwned);
  }
  operator const std::string&() const noexcept { return str(); }
  operator std::string_view() const noexcept { return str(); }
  /// Replaces the spelling (the std::string member this type stands in for had `assign`).
  void assign(std::string_view text) { *this = Name(text); }

  /// False for a name past the store's limit, which owns its spelling.
  bool stored() const noexcept { return (bits_ & kOwned) == 0; }

  const char* c_str() const noexcept { return str().c_str(); }
  const char* data() const noexcept { return str().data(); }
  std::size_t size() const noexcept { return str().size(); }
  bool empty() const noexcept { return str().empty(); }
  auto begin() const noexcept { return str().begin(); }
  auto end() const noexcept { return str().end(); }

  friend bool operator==(const Name& a, const Name& b) noexcept {
    return a.bits_ == b.bits_ || (((a.bits_ | b.bits_) & kOwned) != 0 && a.str() == b.str());
  }
  friend bool operator==(const Name& a, std::string_view b) noexcept {
    return std::string_view(a.str()) == b;
  }
  friend bool operator==(const Name& a, const std::string& b) noexcept { return a.str() == b; }
  friend bool operator==(const Name& a, const char* b) noexcept {
    return std::string_view(a.str()) == std::string_view(b);
  }
  friend std::strong_ordering operator<=>(const Name& a, const Name& b) noexcept {
    return a.str() <=> b.str();
  }
  friend std::strong_ordering operator<=>(const Name& a, std::string_view b) noexcept {
    return std::string_view(a.str()) <=> b;
  }

  friend std::string operator+(const Name& a, std::string_view b) {
    return a.str() + std::string(b);
  }
  friend std::string operator+(const Name& a, const char* b) { return a.str() + b; }
  friend std::string operator+(const Name& a, char b) { return a.str() + b; }
  friend std::string operator+(std::string a, const Name& b) { return std::move(a) += b.str(); }
  friend std::string operator+(const char* a, const Name& b) { return a + b.str(); }
  friend std::string operator+(char a, const Name& b) { return a + b.str(); }
  friend std::string& operator+=(std::string& a, const Name& b) { return a += b.str(); }
  friend std::ostream& operator<<(std::ostream& out, const Name& name);

 private:
  friend class OptionalName;
  // Names the process has stored once; past this many (hostile input may invent any number),
  // a name owns a copy of its spelling instead.
  static constexpr std::uintptr_t kOwned = 1;
  static inline const std::string empty_spelling_{};
  static inline const std::string absent_spelling_{};  // marks an OptionalName holding none
  static std::uintptr_t empty_bits() noexcept {
    return reinterpret_cast<std::uintptr_t>(&empty_spelling_);
  }

  std::uintptr_t bits_;
};

/// A name or none (an element's prefix or namespace), in the space of one Name.
class OptionalName {
 public:
  OptionalName() noexcept { absent(); }
  OptionalName(std::nullopt_t) noexcept { absent(); }
  OptionalName(Name name) noexcept : name_(std::move(name)) {}
  OptionalName(const char* text) : name_(text) {}
  OptionalName(const std::string& text) : name_(text) {}
  OptionalName(const std::optional<std::string>& text) {
    if (text) {
      name_ = Name(*text);
    } else {
      absent();
    }
  }

  bool has_value() const noexcept { return name_.bits_ != absent_bits(); }
  explicit operator bool() const noexcept { return has_value(); }
  /// The name; only when has_value().
  const Name& operator*() const noexcept { return name_; }
  const Name* operator->() const noexcept { return &name_; }
  Name value_or(std::string_view fallback) const { return has_value() ? name_ : Name(fallback); }
  void emplace(std::string_view text) { name_ = Name(text); }
  void reset() noexcept {
    name_ = Name();
    absent();
  }
  operator std::optional<std::string>() const {
    return has_value() ? std::optional<std::string>(name_.str()) : std::nullopt;
  }

  friend bool operator==(const OptionalName& a, const OptionalName& b) noexcept {
    return a.has_value() == b.has_value() && (!a.has_value() || a.name_ == b.name_);
  }
  friend bool operator==(const OptionalName& a, std::nullopt_t) noexcept { return !a.has_value(); }
  friend bool operator==(const OptionalName& a, std::string_view b) noexcept {
    return a.has_value() && a.name_ == b;
  }
  friend bool operator==(const OptionalName& a, const char* b) noexcept {
    return a.has_value() && a.name_ == b;
  }
  friend bool operator==(const OptionalName& a, const std::string& b) noexcept {
    return a.has_value() && a.name_ == b;
  }
  friend bool operator==(const OptionalName& a, const std::optional<std::string>& b) noexcept {
    return a.has_value() == b.has_value() && (!b || a.name_ == *b);
  }

 private:
  static std::uintptr_t absent_bits() noexcept {
    return reinterpret_cast<std::uintptr_t>(&Name::absent_spelling_);
  }
  void absent() noexcept { name_.bits_ = absent_bits(); }

  Name name_;
};

}  // namespace kivo

template <>
struct std::hash<kivo::Name> {
  std::size_t operator()(const kivo::Name& name) const noexcept {
    return std::hash<std::string_view>{}(name);
  }
};
