#include <algorithm>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "kivo/stress/campaign.hpp"
#include "kivo/stress/campaign/progress.hpp"
#include "kivo/stress/campaign/records.hpp"
#include "kivo/stress/campaign/results.hpp"
#include "kivo/stress/config/campaign_flags.hpp"

namespace kivo::stress::campaign {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::chrono::milliseconds kCoordinatorTick{50};

struct SeedResult {
  bool cancelled = false;
  /// An error that is not a failing step: it would be the same for every seed.
  std::optional<Error> setup_error;
  SeedRecord record;
};

// Where the run of one worker stands, read by the progress line.
struct LiveRun {
  std::atomic<std::uint64_t> pairs{0};
  std::atomic<std::uint64_t> steps{0};
};

SeedResult run_seed(const StressConfig& base, std::uint64_t seed, const std::atomic<bool>& cancel,
                    LiveRun& live, bool keep_stats) {
  StressConfig config = base;
  config.seed = seed;
  config.seeds.reset();
  config.shard.reset();
  SeedResult result;
  runner::RunControl control;
  control.cancel = &cancel;
  control.on_progress = [&live](const runner::RunProgress& progress) {
    live.pairs.store(progress.pairs_done, std::memory_order_relaxed);
    live.steps.store(progress.steps_done, std::memory_order_relaxed);
  };
  stats::RunStats stats;
  std::optional<std::filesystem::path> case_dir;
  watch_run(control, stats, case_dir, config.stats, keep_stats);
  const auto started = Clock::now();
  try {
    auto summary = runner::run(config, control);
    if (!summary && runner::is_cancelled(summary.error())) {
      result.cancelled = true;
    } else if (!summary && !is_stress_failure(summary.error())) {
      result.setup_error = std::move(summary.error());
    } else {
      result.record =
          seed_record(seed, summary, std::move(stats), std::move(case_dir), Clock::now() - started);
    }
  } catch (const std::exception& fault) {
    // A fault outside the guarded engine call (memory, most likely) ends this seed only.
    const Result<runner::StressRunSummary> aborted =
        std::unexpected(Error(std::string("Stress run aborted: ") + fault.what()));
    result.record =
        seed_record(seed, aborted, std::move(stats), std::move(case_dir), Clock::now() - started);
  }
  return result;
}

std::string seeds_total_text(std::uint64_t span) {
  // span + 1 seeds; the full u64 range holds one more than u64 can count.
  return span == std::numeric_limits<std::uint64_t>::max() ? "18446744073709551616"
                                                           : std::to_string(span + 1);
}

class Campaign {
 public:
  Campaign(const StressConfig& config, std::ostream& out, const CampaignOptions& options)
      : config_(config),
        out_(out),
        options_(options),
        seeds_(shard_seeds(config)),
        progress_(out, options.progress) {
    result_.jobs = resolve_jobs(config.jobs);
    workers_ = seeds_.empty                       ? 0
               : seeds_.last_index < result_.jobs ? seeds_.last_index + 1
                                                  : result_.jobs;
    live_ = std::make_unique<LiveRun[]>(workers_);
  }

  Result<CampaignResult> run() {
    const auto started = Clock::now();
    // A shard past the range's end has nothing to run, which is no error.
    if (workers_ == 0) return std::move(result_);
    steer();
    std::vector<std::thread> threads;
    running_ = workers_;
    for (std::uint64_t i = 0; i < workers_; ++i) {
      try {
        threads.emplace_back([this, i] { work(i); });
      } catch (const std::system_error&) {
        // Fewer workers than asked for still run every seed.
        std::lock_guard lock(mutex_);
        --running_;
      }
    }
    if (threads.empty()) return std::unexpected(Error("Unable to start campaign worker threads"));
    {
      std::unique_lock lock(mutex_);
      if (progress_.due()) progress_.show(progress_line(started));
      while (running_ > 0) {
        changed_.wait_for(lock, kCoordinatorTick);
        steer();
        print_ready(false);
        if (progress_.due()) progress_.show(progress_line(started));
      }
    }
    for (auto& thread : threads) thread.join();
    std::unique_lock lock(mutex_);
    steer();
    print_ready(true);
    progress_.clear();
    if (setup_error_) return std::unexpected(std::move(*setup_error_));
    result_.elapsed = Clock::now() - started;
    return std::move(result_);
  }

 private:
  void work(std::uint64_t worker) {
    LiveRun& live = live_[worker];
    std::unique_lock lock(mutex_);
    while (!exhausted_ && !cancel_.load()) {
      const std::uint64_t offset = next_;
      if (next_ == seeds_.last_index) {
        exhausted_ = true;
      } else {
        ++next_;
      }
      lock.unlock();
      SeedResult result =
          run_seed(config_, seeds_.seed(offset), cancel_, live, options_.results != nullptr);
      lock.lock();
      steps_done_ += live.steps.exchange(0);
      live.pairs.store(0);
      if (!result.cancelled) ++seeds_done_;
      if (result.setup_error || (result.record.failed && config_.stop_on_failure)) {
        cancel_.store(true);
      }
      // Recorded as it finishes, so a killed process keeps every seed it finished.
      if (options_.results && !result.cancelled && !result.setup_error) {
        options_.results->write(result.record);
      }
      finished_.emplace(offset, std::move(result));
      changed_.notify_all();
    }
    --running_;
    changed_.notify_all();
  }

  // Raises the workers' cancellation flag when the outside asks for a stop.
  void steer() {
    if (options_.stop != nullptr && options_.stop->load() && !result_.stopped) {
      result_.stopped = true;
      cancel_.store(true);
    }
  }

  // Prints finished seeds in seed order: during the campaign only an unbroken run of them from
  // the lowest unprinted seed, at its end every finished one.
  void print_ready(bool at_end) {
    while (!finished_.empty()) {
      auto entry = finished_.begin();
      if (!at_end && (entry->first != printed_ || entry->second.cancelled)) return;
      SeedResult& seed = entry->second;
      if (seed.setup_error && !setup_error_) setup_error_ = std::move(seed.setup_error);
      if (!seed.cancelled && !seed.setup_error && !setup_error_) {
        progress_.clear();
        out_ << seed.record.output << std::flush;
        add_seed(result_, seed.record);
      }
      finished_.erase(entry);
      ++printed_;
    }
  }

  std::string progress_line(Clock::time_point started) const {
    std::uint64_t ops = steps_done_;
    double partial = 0;
    for (std::uint64_t i = 0; i < workers_; ++i) {
      ops += live_[i].steps.load(std::memory_order_relaxed);
      partial += static_cast<double>(live_[i].pairs.load(std::memory_order_relaxed)) /
                 static_cast<double>(config_.pairs);
    }
    const double total = static_cast<double>(seeds_.last_index) + 1;
    const double fraction = std::min(1.0, (static_cast<double>(seeds_done_) + partial) / total);
    return progress_text(
        "seeds " + std::to_string(seeds_done_) + "/" + seeds_total_text(seeds_.last_index),
        fraction, ops, Clock::now() - started);
  }

  const StressConfig& config_;
  std::ostream& out_;
  const CampaignOptions& options_;
  const ShardSeeds seeds_;
  std::uint64_t workers_ = 0;
  std::unique_ptr<LiveRun[]> live_;
  ProgressLine progress_;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::atomic<bool> cancel_{false};
  // Guarded by mutex_.
  std::uint64_t next_ = 0;
  bool exhausted_ = false;
  std::uint64_t running_ = 0;
  std::uint64_t seeds_done_ = 0;
  std::uint64_t steps_done_ = 0;
  std::map<std::uint64_t, SeedResult> finished_;
  std::uint64_t printed_ = 0;
  std::optional<Error> setup_error_;
  CampaignResult result_;
};

}  // namespace

std::uint64_t resolve_jobs(std::uint64_t jobs) {
  if (jobs != 0) return std::min(jobs, kMaxJobs);
  const unsigned cores = std::thread::hardware_concurrency();
  return std::clamp<std::uint64_t>(cores, 1, kMaxJobs);
}

ShardSeeds shard_seeds(const StressConfig& config) {
  const auto [first, last] = config.seeds.value_or(std::pair{config.seed, config.seed});
  const auto [index, count] = config.shard.value_or(std::pair<std::uint64_t, std::uint64_t>{0, 1});
  const std::uint64_t span = last - first;
  if (index > span) return {true, first, count, 0};
  return {false, first + index, count, (span - index) / count};
}

Result<CampaignResult> run_campaign(const StressConfig& config, std::ostream& out,
                                    const CampaignOptions& options) {
  if (!config.seeds) return std::unexpected(Error("a campaign needs --seeds"));
  return Campaign(config, out, options).run();
}

}  // namespace kivo::stress::campaign
