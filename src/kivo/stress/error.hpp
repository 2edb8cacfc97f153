#pragma once

#include <expected>
#include <string>
#include <vector>

#include "kivo/error.hpp"

namespace kivo::stress {

/// The harness's error value: a chain of messages, outermost context first.
class Error {
 public:
  /// A chain of one message.
  explicit Error(std::string message) : chain_{std::move(message)} {}
  /// A chain starting with the library error itself, followed by its causes.
  static Error from_app(const AppError& error);
  /// A chain of the given messages, outermost first (at least one).
  static Error from_chain(std::vector<std::string> chain);

  /// This chain behind the context message `outer`.
  Error context(std::string outer) &&;
  /// The outermost message.
  const std::string& message() const { return chain_.front(); }
  /// All messages, outermost first.
  const std::vector<std::string>& chain() const { return chain_; }
  /// The messages joined by ": ".
  std::string display_chain() const;

  friend bool operator==(const Error&, const Error&) = default;

 private:
  Error() = default;
  std::vector<std::string> chain_;
};

template <class T>
using Result = std::expected<T, Error>;

/// `error` as an unexpected harness error with context `outer` in front.
std::unexpected<Error> with_context(std::string outer, const AppError& error);

}  // namespace kivo::stress
