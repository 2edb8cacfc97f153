#include <nlohmann/json.hpp>

#include "kivo/stress/campaign/results.hpp"
#include "kivo/stress/stats/families_json.hpp"

namespace kivo::stress::campaign {
namespace {

using Json = nlohmann::ordered_json;

Json optional_text(std::string_view text) { return text.empty() ? Json() : Json(text); }

Json seed_json(const SeedRecord& record) {
  Json json;
  json["type"] = "seed";
  json["seed"] = record.seed;
  json["status"] = record.failed ? "failed" : "passed";
  json["attempted"] = record.attempted;
  json["succeeded"] = record.succeeded;
  json["elapsed"] = record.elapsed.count();
  json["output"] = record.output;
  json["message"] = optional_text(record.message);
  json["caseDir"] = record.case_dir ? Json(record.case_dir->string()) : Json();
  // Nanoseconds, so that statistics merged from files print as the campaign's own would.
  json["stats"] = stats::families_json(record.stats, stats::DurationUnit::Nanos);
  return json;
}

Json campaign_json(const CampaignRecord& record) {
  Json json;
  json["type"] = "campaign";
  json["first"] = record.seeds.first;
  json["last"] = record.seeds.second;
  json["shard"] =
      record.shard ? Json{{"index", record.shard->first}, {"count", record.shard->second}} : Json();
  json["profile"] = record.profile;
  json["strict"] = record.strict;
  json["jobs"] = record.totals.jobs;
  json["runs"] = record.totals.runs;
  json["failed"] = record.totals.failed;
  json["attempted"] = record.totals.attempted;
  json["succeeded"] = record.totals.succeeded;
  json["elapsed"] = record.totals.elapsed.count();
  json["ended"] = record.ended;
  json["error"] = optional_text(record.error);
  return json;
}

// Reading back: every field must be there with its own type; nothing is converted silently.
struct Reader {
  const Json& json;

  const Json& field(const char* key) const {
    const auto found = json.find(key);
    if (found == json.end()) throw std::runtime_error(std::string("no \"") + key + "\"");
    return *found;
  }
  [[noreturn]] static void wrong(const char* key, const char* type) {
    throw std::runtime_error(std::string("\"") + key + "\" is not " + type);
  }
  std::uint64_t count(const char* key) const {
    const Json& value = field(key);
    if (!value.is_number_unsigned()) wrong(key, "an unsigned integer");
    return value.get<std::uint64_t>();
  }
  double seconds(const char* key) const {
    const Json& value = field(key);
    if (!value.is_number() || !(value.get<double>() >= 0)) wrong(key, "a number of seconds");
    return value.get<double>();
  }
  std::string text(const char* key) const {
    const Json& value = field(key);
    if (!value.is_string()) wrong(key, "a string");
    return value.get<std::string>();
  }
  std::string optional_text(const char* key) const {
    return field(key).is_null() ? std::string() : text(key);
  }
  bool flag(const char* key) const {
    const Json& value = field(key);
    if (!value.is_boolean()) wrong(key, "true or false");
    return value.get<bool>();
  }
};

stats::RunStats read_stats(const Json& families) {
  if (!families.is_array()) throw std::runtime_error("\"stats\" is not an array");
  stats::RunStats stats;
  for (const Json& entry : families) {
    if (!entry.is_object()) throw std::runtime_error("a family of \"stats\" is not an object");
    const Reader reader{entry};
    const auto family = stats::family_named(reader.text("family"));
    if (!family) throw std::runtime_error("unknown family \"" + reader.text("family") + "\"");
    stats::FamilyStats counts;
    counts.planned = reader.count("planned");
    counts.succeeded = reader.count("succeeded");
    counts.refused = reader.count("refusedAsExpected");
    counts.failed = reader.count("failed");
    if (!reader.field("slowestStep").is_null()) {
      const Reader at{reader.field("slowestStep")};
      counts.slowest = std::chrono::nanoseconds(reader.count("slowestStepNanos"));
      counts.slowest_at = stats::StepPlace{at.count("seed"), at.count("pair"), at.count("step")};
    }
    stats.set(*family, counts);
  }
  return stats;
}

SeedRecord read_seed(const Reader& reader) {
  SeedRecord record;
  record.seed = reader.count("seed");
  const std::string status = reader.text("status");
  if (status != "passed" && status != "failed") reader.wrong("status", "\"passed\" or \"failed\"");
  record.failed = status == "failed";
  record.attempted = reader.count("attempted");
  record.succeeded = reader.count("succeeded");
  record.elapsed = std::chrono::duration<double>(reader.seconds("elapsed"));
  record.output = reader.text("output");
  record.message = reader.optional_text("message");
  if (const std::string dir = reader.optional_text("caseDir"); !dir.empty()) record.case_dir = dir;
  record.stats = read_stats(reader.field("stats"));
  return record;
}

CampaignRecord read_campaign(const Reader& reader) {
  CampaignRecord record;
  record.seeds = {reader.count("first"), reader.count("last")};
  if (record.seeds.first > record.seeds.second) reader.wrong("first", "at most \"last\"");
  if (const Json& shard = reader.field("shard"); !shard.is_null()) {
    const Reader at{shard};
    record.shard = std::pair{at.count("index"), at.count("count")};
    if (record.shard->first >= record.shard->second)
      reader.wrong("shard", "a shard K/N with K < N");
  }
  record.profile = reader.text("profile");
  record.strict = reader.flag("strict");
  record.totals.jobs = reader.count("jobs");
  record.totals.runs = reader.count("runs");
  record.totals.failed = reader.count("failed");
  record.totals.attempted = reader.count("attempted");
  record.totals.succeeded = reader.count("succeeded");
  record.totals.elapsed = std::chrono::duration<double>(reader.seconds("elapsed"));
  record.ended = reader.text("ended");
  record.error = reader.optional_text("error");
  return record;
}

}  // namespace

std::string to_json_line(const ResultsRecord& record) {
  const Json json = std::holds_alternative<SeedRecord>(record)
                        ? seed_json(std::get<SeedRecord>(record))
                        : campaign_json(std::get<CampaignRecord>(record));
  // Texts come from presets and paths; bytes that are not UTF-8 must not lose the line.
  return json.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

Result<ResultsRecord> parse_results_line(std::string_view line) {
  const Json json = Json::parse(line, nullptr, false);
  if (json.is_discarded()) return std::unexpected(Error("not JSON"));
  if (!json.is_object()) return std::unexpected(Error("not a JSON object"));
  try {
    const Reader reader{json};
    const std::string type = reader.text("type");
    if (type == "seed") return read_seed(reader);
    if (type == "campaign") return read_campaign(reader);
    return std::unexpected(Error("unknown \"type\" \"" + type + "\""));
  } catch (const std::exception& wrong) {
    return std::unexpected(Error(wrong.what()));
  }
}

}  // namespace kivo::stress::campaign
