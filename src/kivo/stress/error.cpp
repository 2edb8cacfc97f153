#include "kivo/stress/error.hpp"

namespace kivo::stress {

Error Error::from_app(const AppError& error) {
  Error result;
  result.chain_.push_back(error.message());
  for (auto& cause : error.causes()) result.chain_.push_back(std::move(cause));
  return result;
}

Error Error::from_chain(std::vector<std::string> chain) {
  if (chain.empty()) return Error(std::string());
  Error result;
  result.chain_ = std::move(chain);
  return result;
}

Error Error::context(std::string outer) && {
  chain_.insert(chain_.begin(), std::move(outer));
  return std::move(*this);
}

std::string Error::display_chain() const {
  std::string text;
  for (std::size_t i = 0; i < chain_.size(); ++i) {
    if (i > 0) text += ": ";
    text += chain_[i];
  }
  return text;
}

std::unexpected<Error> with_context(std::string outer, const AppError& error) {
  return std::unexpected(Error::from_app(error).context(std::move(outer)));
}

}  // namespace kivo::stress
