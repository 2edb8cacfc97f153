#include "kivo/stress/artifacts/strict_json.hpp"

#include <utility>
#include <vector>

namespace kivo::stress::artifacts {
namespace {

using Json = nlohmann::json;

/// Drops the library's "[json.exception.name.id] " prefix from a message.
std::string plain_message(std::string message) {
  if (!message.starts_with("[json.exception.")) return message;
  std::size_t end = message.find("] ");
  return end == std::string::npos ? message : message.substr(end + 2);
}

/// SAX handler that builds a tree, refusing duplicate keys and deep nesting. The parser
/// itself does not recurse, so bounding the tree's depth here bounds everything.
class StrictTreeBuilder {
 public:
  bool null() { return scalar(Json(nullptr)); }
  bool boolean(bool value) { return scalar(Json(value)); }
  bool number_integer(Json::number_integer_t value) { return scalar(Json(value)); }
  bool number_unsigned(Json::number_unsigned_t value) { return scalar(Json(value)); }
  bool number_float(Json::number_float_t value, const Json::string_t&) {
    return scalar(Json(value));
  }
  bool string(Json::string_t& value) { return scalar(Json(std::move(value))); }
  bool binary(Json::binary_t&) { return fail("binary values are not supported"); }
  bool start_object(std::size_t) { return open(Json::object()); }
  bool start_array(std::size_t) { return open(Json::array()); }
  bool end_object() { return close(); }
  bool end_array() { return close(); }

  bool key(Json::string_t& name) {
    if (open_.back()->contains(name)) return fail("duplicate field '" + name + "'");
    pending_key_ = std::move(name);
    return true;
  }

  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& error) {
    return fail(plain_message(error.what()));
  }

  Json take_root() { return std::move(root_); }
  const std::string& error() const { return error_; }

 private:
  bool fail(std::string message) {
    error_ = std::move(message);
    return false;
  }

  bool scalar(Json value) {
    add(std::move(value));
    return true;
  }

  bool open(Json container) {
    if (open_.size() >= kMaxJsonDepth) {
      return fail("nesting deeper than " + std::to_string(kMaxJsonDepth) + " levels");
    }
    open_.push_back(add(std::move(container)));
    return true;
  }

  bool close() {
    open_.pop_back();
    return true;
  }

  /// Places `value` in the innermost open container (or as the root); returns where it went.
  /// Only the last element of an array can be open, so earlier pointers stay valid.
  Json* add(Json value) {
    if (open_.empty()) {
      root_ = std::move(value);
      return &root_;
    }
    Json& parent = *open_.back();
    if (parent.is_array()) {
      parent.push_back(std::move(value));
      return &parent.back();
    }
    auto& object = parent.get_ref<Json::object_t&>();
    return &object.emplace(std::move(pending_key_), std::move(value)).first->second;
  }

  Json root_;
  std::vector<Json*> open_;
  std::string pending_key_;
  std::string error_;
};

}  // namespace

Result<nlohmann::json> parse_strict_json(std::string_view text) {
  StrictTreeBuilder builder;
  bool ok = false;
  try {
    ok = Json::sax_parse(text, &builder);
  } catch (const Json::exception& error) {
    return std::unexpected(Error(plain_message(error.what())));
  }
  if (!ok)
    return std::unexpected(Error(builder.error().empty() ? "invalid JSON" : builder.error()));
  return builder.take_root();
}

}  // namespace kivo::stress::artifacts
