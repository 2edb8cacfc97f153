// Built against an installed kivo to prove that find_package(kivo) gives a usable kivo::kivo.
#include <kivo/merge.hpp>
#include <kivo/validation.hpp>
#include <kivo/xml_utils.hpp>

#include <iostream>

int main() {
  auto source = kivo::xml_utils::parse(
      "<XmlState><ScreenSetup><screens><Screen uniqueId=\"1\" name=\"A\"><layers/></Screen>"
      "</screens></ScreenSetup></XmlState>");
  if (!source) return 1;
  kivo::Element target = *source;
  kivo::model::CopyOperation request{
      {"1", std::nullopt, 0, kivo::model::NodeKind::Screen}, "autoRenameRemap", std::nullopt, 1};
  auto result = kivo::merge::apply_copy(*source, target, request);
  if (!result || !kivo::validation::validate_doc(target).empty()) return 1;
  std::cout << result->messages.at(0) << '\n';
  return result->messages.at(0) == "Screen name 'A' existed in target; renamed to 'A (Copy)'." ? 0
                                                                                               : 1;
}
