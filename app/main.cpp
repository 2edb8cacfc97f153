#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "kivo/stress/campaign/signals.hpp"
#include "kivo/stress/cli.hpp"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv, argv + argc);
  kivo::stress::campaign::install_stop_handlers();
  const kivo::stress::ProgramControl control{&kivo::stress::campaign::stop_requested(),
                                             &kivo::stress::campaign::stop_signal(),
                                             ::isatty(STDERR_FILENO) == 1};
  return kivo::stress::program_main(args, std::cerr, control);
}
