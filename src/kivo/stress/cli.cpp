#include "kivo/stress/cli.hpp"

namespace kivo::stress {

Result<void> cli_main(const std::vector<std::string>&, std::ostream&) {
  return std::unexpected(Error("command line is not built yet"));
}

}  // namespace kivo::stress
