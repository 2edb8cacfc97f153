#include "kivo/stress/generator.hpp"

#include <algorithm>
#include <new>
#include <stdexcept>

#if defined(__linux__)
#include <sys/sysinfo.h>
#elif defined(__unix__) || defined(__APPLE__)
#include <unistd.h>
#endif

#include "kivo/stress/mutations.hpp"
#include "kivo/stress/oracle.hpp"
#include "kivo/stress/rng.hpp"
#include "kivo/stress/situations.hpp"

namespace kivo::stress::generator {
namespace {

constexpr std::uint64_t kCorpusSeedSalt = 0xC0FFEE;
// A stream of its own, so the ordinary part of each strict document is the ordinary document.
constexpr std::uint64_t kStrictEditSalt = 0x57A1C7;
constexpr double kSmallShare = 0.5;

std::string out_of_memory(std::uint64_t docs) {
  return "Out of memory while generating " + std::to_string(docs) + " documents";
}

// Refuses a count that cannot fit before anything is allocated: growing the corpus one copy at
// a time would otherwise run for hours before an allocation fails. The bound compares a lower
// bound of the corpus size with all memory of the machine, so no feasible count is refused.
std::optional<Error> refuse_impossible_count(const Element& template_root, std::uint64_t docs) {
  if (docs > std::vector<GeneratedDoc>{}.max_size()) {
    return Error::from_chain({out_of_memory(docs), "more documents than one sequence can hold"});
  }
  const std::uint64_t per_doc = sizeof(GeneratedDoc) + tree_footprint(template_root);
  const std::uint64_t memory = machine_memory_bytes();
  if (memory == 0 || docs <= memory / per_doc) return std::nullopt;
  return Error::from_chain({out_of_memory(docs), "each document needs at least " +
                                                     std::to_string(per_doc) + " bytes and " +
                                                     "the machine has " + std::to_string(memory) +
                                                     " bytes of memory"});
}

// Heap bytes of a string: none while it fits the inline buffer, so the total stays a lower bound.
std::uint64_t heap_bytes(const std::string& text) {
  static const std::size_t inline_capacity = std::string().capacity();
  return text.size() > inline_capacity ? text.size() + 1 : 0;
}

// The strict part of a document: hard cases for the writer and the engine's naming rules, and
// situations at the engine's less common decisions, half of them in small presets where each
// request meets them more often.
void strict_document(Element& doc, Rng& rng) {
  if (rng.gen_bool(kSmallShare)) situations::cut_small(doc, rng);
  mutations::apply_strict_edits(doc, rng, rng.gen_range(2, 7));
  situations::build(doc, rng, rng.gen_range(8, 25));
  // A case stores its documents as text, so a document must be one that text can hold: a CDATA
  // section holding "]]>", CR LF inside CDATA or two adjacent texts would read back otherwise and
  // the case would not replay. What the text reads back as is the harness's own account, so a
  // faulty reader cannot shape the corpus it is judged on.
  doc = oracle::read_back(doc);
}

GeneratedDoc generate_one(const Element& template_root, std::uint64_t index, Rng& rng, double p,
                          double bias) {
  GeneratedDoc generated{template_root, doc_name(index), false};
  const std::uint64_t steps = rng.gen_range(3, 11);
  generated.invalid = rng.gen_bool(p);
  mutations::apply_random_mutations(generated.doc, rng, steps, generated.invalid ? bias : 0.0);
  return generated;
}

}  // namespace

std::string doc_name(std::uint64_t index) {
  std::string digits = std::to_string(index);
  if (digits.size() < 3) digits.insert(0, 3 - digits.size(), '0');
  return "doc_" + digits;
}

std::uint64_t tree_footprint(const Element& root) {
  std::uint64_t bytes = sizeof(XMLNode) + heap_bytes(root.name);
  for (const auto& [name, value] : root.attributes) {
    bytes += sizeof(Attributes::Entry) + heap_bytes(name) + heap_bytes(value);
  }
  for (const auto& node : root.children) {
    const Element* child = node.as_element();
    bytes += child != nullptr ? tree_footprint(*child) : sizeof(XMLNode);
  }
  return bytes;
}

std::uint64_t machine_memory_bytes() {
#if defined(__linux__)
  struct sysinfo info {};
  if (sysinfo(&info) != 0) return 0;
  return (std::uint64_t{info.totalram} + info.totalswap) * std::max(info.mem_unit, 1u);
#elif defined(__unix__) || defined(__APPLE__)
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long page_size = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || page_size <= 0) return 0;
  return std::uint64_t(pages) * std::uint64_t(page_size);
#else
  return 0;
#endif
}

Result<void> generate_each(const Element& template_root, const StressConfig& config,
                           const std::function<void(GeneratedDoc)>& take) {
  if (auto refusal = refuse_impossible_count(template_root, config.docs)) {
    return std::unexpected(std::move(*refusal));
  }
  auto rng = StressRng::seed_from_u64(config.seed ^ kCorpusSeedSalt);
  // The strict edits draw from a generator of their own, so each document may take them at once.
  auto strict_rng = StressRng::seed_from_u64(config.seed ^ kStrictEditSalt);
  const double p = std::clamp(config.invalid_rate * 0.8, 0.0, 1.0);
  const double bias = std::max(config.invalid_rate, 0.2);
  try {
    for (std::uint64_t i = 0; i < config.docs; ++i) {
      GeneratedDoc generated = generate_one(template_root, i, rng, p, bias);
      if (config.strict) strict_document(generated.doc, strict_rng);
      take(std::move(generated));
    }
    return {};
  } catch (const std::bad_alloc& error) {
    return std::unexpected(Error::from_chain({out_of_memory(config.docs), error.what()}));
  } catch (const std::length_error& error) {
    return std::unexpected(Error::from_chain({out_of_memory(config.docs), error.what()}));
  }
}

Result<std::vector<GeneratedDoc>> generate_docs(const Element& template_root,
                                                const StressConfig& config) {
  std::vector<GeneratedDoc> corpus;
  auto generated = generate_each(template_root, config, [&](GeneratedDoc doc) {
    // Reserved only once the count was found to fit, and inside the guard against running out.
    if (corpus.empty()) corpus.reserve(static_cast<std::size_t>(config.docs));
    corpus.push_back(std::move(doc));
  });
  if (!generated) return std::unexpected(std::move(generated.error()));
  return corpus;
}

}  // namespace kivo::stress::generator
