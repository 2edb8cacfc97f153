#include "kivo/stress/oracle/decisions.hpp"

#include <array>

namespace kivo::stress::oracle {
namespace {

constexpr std::array<std::string_view, static_cast<std::size_t>(Decision::Count)> kNames = {
#define KIVO_ORACLE_DECISION_NAME(name) #name,
    KIVO_ORACLE_DECISIONS(KIVO_ORACLE_DECISION_NAME)
#undef KIVO_ORACLE_DECISION_NAME
};

}  // namespace

std::string_view decision_name(Decision decision) {
  return kNames[static_cast<std::size_t>(decision)];
}

}  // namespace kivo::stress::oracle
