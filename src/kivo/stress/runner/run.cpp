#include <chrono>

#include "kivo/stress/artifacts.hpp"
#include "kivo/stress/checks.hpp"
#include "kivo/stress/generator.hpp"
#include "kivo/stress/preset_file.hpp"
#include "kivo/stress/replay.hpp"
#include "kivo/stress/report.hpp"
#include "kivo/stress/runner.hpp"
#include "kivo/stress/runner/minimize.hpp"
#include "kivo/stress/runner/packed_tree.hpp"
#include "kivo/stress/runner/reduced_case.hpp"
#include "kivo/stress/runner/strict_planner.hpp"
#include "kivo/stress/stats.hpp"

namespace kivo::stress::runner {
namespace {

constexpr std::uint64_t kRunSeedSalt = 0x5EED5EED;

struct DocPair {
  std::size_t source = 0;
  std::size_t target = 0;
};

// Two distinct positions drawn from `count` choices, mapped through `position_of`.
template <class PositionOf>
DocPair draw_distinct(Rng& rng, std::size_t count, PositionOf position_of) {
  const std::size_t i = rng.gen_range(0, count);
  std::size_t j = rng.gen_range(0, count);
  if (j == i) j = (i + 1) % count;
  return {position_of(i), position_of(j)};
}

DocPair pick_pair(Rng& rng, const std::vector<std::size_t>& valid, std::size_t corpus_size) {
  if (valid.size() >= 2) {
    return draw_distinct(rng, valid.size(), [&](std::size_t k) { return valid[k]; });
  }
  return draw_distinct(rng, corpus_size, [](std::size_t k) { return k; });
}

// A corpus document between the pairs that use it.
struct CorpusDoc {
  PackedTree packed;
  bool invalid = false;
  // Its identity duplicates, when known (documents change only as targets).
  std::optional<checks::IdentityDuplicates> duplicates;
};

// Strict runs never skip a pair for duplicates, so they need not know them up front.
CorpusDoc packed(const generator::GeneratedDoc& doc, bool strict) {
  std::optional<checks::IdentityDuplicates> duplicates;
  if (!strict) duplicates = checks::duplicate_identities(doc.doc);
  return {PackedTree(doc.doc), doc.invalid, std::move(duplicates)};
}

std::vector<std::size_t> valid_positions(const std::vector<CorpusDoc>& corpus) {
  std::vector<std::size_t> valid;
  for (std::size_t i = 0; i < corpus.size(); ++i) {
    if (!corpus[i].invalid) valid.push_back(i);
  }
  return valid;
}

// The state of one pair while its slots run.
struct PairRun {
  std::uint64_t number = 0;
  DocPair docs;
  const Element& source_before;
  // The corpus keeps the target as it was until the pair ends: unpacked for a failure only.
  Element target_before;
  std::vector<OperationTraceItem> trace;
};

class StressRun {
 public:
  StressRun(const StressConfig& config, std::vector<CorpusDoc> corpus, const RunControl& control)
      : config_(config),
        control_(control),
        corpus_(std::move(corpus)),
        rng_(StressRng::seed_from_u64(config.seed ^ kRunSeedSalt)) {
    if (config.strict) strict_planner_.emplace(rng_);
  }

  Result<StressRunSummary> run_all() {
    const std::vector<std::size_t> valid = valid_positions(corpus_);
    for (std::uint64_t pair = 0; pair < config_.pairs; ++pair) {
      if (cancelled()) return std::unexpected(Error(std::string(kRunCancelled)));
      const DocPair docs = pick_pair(rng_, valid, corpus_.size());
      if (auto done = run_pair(pair, docs); !done) return std::unexpected(std::move(done.error()));
      if (control_.on_progress) control_.on_progress({pair + 1, steps_});
    }
    if (strict_planner_ && control_.on_decisions) {
      control_.on_decisions(strict_planner_->decisions_made());
    }
    return StressRunSummary{std::string(config_.profile.name()),
                            config_.seed,
                            corpus_.size(),
                            config_.pairs,
                            attempted_,
                            succeeded_};
  }

 private:
  Result<void> run_pair(std::uint64_t number, DocPair docs) {
    // Strict runs judge every copy exactly, so documents holding duplicates still take part.
    if (!config_.strict &&
        (has_duplicate_identities(docs.source) || has_duplicate_identities(docs.target))) {
      return {};
    }
    if (strict_planner_) strict_planner_->start_pair(rng_);
    const Element source = corpus_[docs.source].packed.unpack();
    Element target = corpus_[docs.target].packed.unpack();
    PairRun pair{number, docs, source, {}, {}};
    // The engine works on a copy of the source, so a faulty one cannot spoil the planner's.
    const Element working_source = source;
    replay::Carried carried{std::move(corpus_[docs.target].duplicates), std::nullopt};
    for (std::uint64_t slot = 0; slot < config_.ops_per_pair; ++slot) {
      if (cancelled()) return std::unexpected(Error(std::string(kRunCancelled)));
      auto planned = plan(source, target);
      if (!planned) continue;
      const auto started = control_.stats ? std::chrono::steady_clock::now()
                                          : std::chrono::steady_clock::time_point{};
      std::string outcome = replay::execute_checked(working_source, target, planned->operation,
                                                    config_.strict, &carried);
      const bool passed = replay::satisfies(outcome, planned->expected);
      ++steps_;
      if (control_.stats) {
        control_.stats->record(planned->operation, planned->expected, outcome, passed,
                               std::chrono::steady_clock::now() - started,
                               {config_.seed, number, slot});
      }
      pair.trace.push_back(
          {slot, std::move(planned->operation), std::move(planned->expected), std::move(outcome)});
      if (!passed) return std::unexpected(fail(pair, slot, target));
      ++attempted_;
      if (pair.trace.back().outcome == "success") ++succeeded_;
    }
    corpus_[docs.target].packed = PackedTree(target);
    corpus_[docs.target].duplicates = std::move(carried.target_duplicates);
    return {};
  }

  // Corpus documents change only as targets, so what a walk found stays true until then.
  bool has_duplicate_identities(std::size_t doc) {
    auto& known = corpus_[doc].duplicates;
    if (!known) known = checks::duplicate_identities(corpus_[doc].packed.unpack());
    return !(*known)[0].empty() || !(*known)[1].empty();
  }

  std::optional<PlannedOperation> plan(const Element& source, const Element& target) {
    if (strict_planner_) return strict_planner_->plan(source, target, rng_);
    return plan_operation(source, target, rng_);
  }

  std::vector<OperationTraceItem> final_trace(const PairRun& pair,
                                              const FirstFailure& failure) const {
    if (!config_.minimize || pair.trace.size() < 2) return pair.trace;
    auto shortened =
        shorten_trace(pair.trace, pair.source_before, pair.target_before, failure, config_.strict);
    std::vector<OperationTraceItem> trace = shortened ? std::move(*shortened) : pair.trace;
    for (std::size_t i = 0; i < trace.size(); ++i) trace[i].index = i;
    return trace;
  }

  Error fail(PairRun& pair, std::uint64_t slot, const Element& target_after) const {
    pair.target_before = corpus_[pair.docs.target].packed.unpack();
    const OperationTraceItem& failing = pair.trace.back();
    const FirstFailure first{derive_failure_message(slot, failing.expected, failing.outcome),
                             failing.outcome};
    FailureArtifact artifact;
    artifact.operation_trace = final_trace(pair, first);
    const OperationTraceItem& last = artifact.operation_trace.back();
    artifact.failure_message = derive_failure_message(last.index, last.expected, last.outcome);
    artifact.config = to_snapshot(config_);
    artifact.seed = config_.seed;
    artifact.source_doc_index = pair.docs.source;
    artifact.target_doc_index = pair.docs.target;
    artifact.failing_step_index = artifact.operation_trace.size() - 1;
    artifact.trace_hash = checks::trace_hash(artifact.operation_trace);
    artifact.source_before_file = "source_before.xml";
    artifact.target_before_file = "target_before.xml";
    artifact.target_after_file = "target_after.xml";
    artifact.strict = config_.strict;
    const std::string where =
        "Stress failure on pair " + std::to_string(pair.number) + " step " + std::to_string(slot);
    auto written = write_case(artifact, pair, target_after);
    if (!written) {
      // The failure itself must stay visible even when its case could not be written.
      return std::move(written.error())
          .context(where + " (case not written)\n" + artifact.failure_message);
    }
    // The report comes after the whole case, so a report that fails cannot cost the case.
    const std::string report =
        config_.report ? report::report_line(written->directory / "case.json") : "";
    if (control_.on_case_written) control_.on_case_written(written->directory);
    std::string message =
        where + ". Artifacts: " + written->directory.string() + "\n" + artifact.failure_message;
    if (!written->summary.empty()) message += "\n" + written->summary;
    if (!report.empty()) message += "\n" + report;
    return Error(std::move(message));
  }

  // The case as it is, or reduced with the line that says what reduction did.
  Result<WrittenCase> write_case(const FailureArtifact& artifact, const PairRun& pair,
                                 const Element& target_after) const {
    const artifacts::CaseContent content{artifact, pair.source_before, pair.target_before,
                                         &target_after};
    if (config_.reduce) {
      const reduce::Options options{config_.strict, std::chrono::seconds(config_.reduce_seconds),
                                    control_.on_reduce_progress, control_.cancel};
      return write_reduced_case(config_.out_dir, content, options);
    }
    auto directory = artifacts::persist_failure_artifact(
        config_.out_dir, artifact, pair.source_before, pair.target_before, &target_after);
    if (!directory) return std::unexpected(std::move(directory.error()));
    return WrittenCase{*directory, {}};
  }

  bool cancelled() const {
    return control_.cancel != nullptr && control_.cancel->load(std::memory_order_relaxed);
  }

  const StressConfig& config_;
  const RunControl& control_;
  std::vector<CorpusDoc> corpus_;
  StressRng rng_;
  std::optional<StrictPlanner> strict_planner_;
  std::uint64_t attempted_ = 0;
  std::uint64_t succeeded_ = 0;
  std::uint64_t steps_ = 0;
};

}  // namespace

Result<StressRunSummary> run(const StressConfig& config, const RunControl& control) {
  auto template_root = load_preset_checked(config.template_path, config.strict);
  if (!template_root) {
    return with_context("Unable to parse template " + config.template_path.string(),
                        template_root.error());
  }
  // Strict runs trust neither reader alone: a template the two read differently would hold the
  // library to its own reading.
  if (template_root->disagreement) {
    return std::unexpected(Error::from_chain({"Template " + config.template_path.string() +
                                                  " is read differently by the library and by "
                                                  "the independent reader",
                                              *template_root->disagreement}));
  }
  if (config.docs < 2) {
    return std::unexpected(Error("Need at least --docs 2 for cross-document stress operations."));
  }
  // Each document is packed as soon as it is made: the corpus is never held as trees at once.
  std::vector<CorpusDoc> corpus;
  auto generated = generator::generate_each(
      template_root->root, config,
      [&](const generator::GeneratedDoc& doc) { corpus.push_back(packed(doc, config.strict)); });
  if (!generated) return std::unexpected(std::move(generated.error()));
  return StressRun(config, std::move(corpus), control).run_all();
}

}  // namespace kivo::stress::runner
