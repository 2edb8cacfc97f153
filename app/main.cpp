#include <iostream>
#include <string>
#include <vector>

#include "kivo/stress/cli.hpp"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv, argv + argc);
  auto result = kivo::stress::cli_main(args, std::cerr);
  if (!result) {
    std::cerr << "kivo_stress failed: " << result.error().display_chain() << '\n';
    return 1;
  }
  return 0;
}
