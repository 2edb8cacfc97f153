#pragma once

// The census of planted faults: realistic faults of the copy engine and the writer, each planted
// for as long as a `Planted` lives, so that a run can show whether it catches them. Shared by the
// census test and the differential fuzz target.

#include <expected>
#include <functional>
#include <string>
#include <vector>

#include "kivo/element.hpp"
#include "kivo/error.hpp"
#include "kivo/model.hpp"
#include "kivo/stress/operation.hpp"

namespace kivo::test::census {

struct Call;

/// A planted fault changes what the engine did, replaces `from` with `to` in written text, changes
/// what the reader read, or changes the messages validation gave.
struct PlantedFault {
  const char* name;
  std::function<void(const Call&)> corrupt;
  std::string from, to;
  std::function<void(Element&)> misread;
  std::function<void(const Element&, std::vector<std::string>&)> misvalidate;
};

/// Faults the strict oracle was shaped by.
std::vector<PlantedFault> planted_faults();
/// Faults written after the oracle and never used to shape it.
std::vector<PlantedFault> held_back_faults();
/// Faults that only a situation strict documents hold reveals: two things wrong in one request,
/// a value exactly on a limit, identifiers of overlapping ranges, names whose sources disagree,
/// layers under other kinds of screens, names that differ only in letter case.
std::vector<PlantedFault> situation_faults();
/// Faults of the library's reader, writer and validation, which strict runs must not trust.
std::vector<PlantedFault> document_faults();
/// Every fault of the four lists.
std::vector<PlantedFault> all_faults();

/// Plants a fault for as long as it lives.
class Planted {
 public:
  explicit Planted(const PlantedFault& fault);
  ~Planted();
  Planted(const Planted&) = delete;
  Planted& operator=(const Planted&) = delete;
};

/// The unmodified copy engine on a harness operation.
std::expected<model::CopyResult, AppError> real_engine(const Element& source, Element& target,
                                                       const stress::StressOperation& op);

}  // namespace kivo::test::census
