#include "kivo/stress/checks.hpp"
#include "kivo/stress/checks/siphash.hpp"

namespace kivo::stress::checks {
namespace {

/// Feeds trace items to the hash in their fixed byte encoding.
class TraceEncoder {
 public:
  void number(std::uint64_t value) {
    char bytes[8];
    for (int i = 0; i < 8; ++i) bytes[i] = static_cast<char>(value >> (8 * i));
    hash_.write({bytes, 8});
  }
  void text(std::string_view value) {
    hash_.write(value);
    hash_.write("\xff");
  }
  void optional_text(const std::optional<std::string>& value) {
    number(value ? 1 : 0);
    if (value) text(*value);
  }
  void flag(bool value) {
    hash_.write(value ? std::string_view("\x01", 1) : std::string_view("\0", 1));
  }

  void operation(const StressOperation& op) {
    number(op.value.index());
    if (const auto* copy = std::get_if<StressOperation::Copy>(&op.value)) {
      text(copy->source_kind);
      text(copy->source_unique_id);
      optional_text(copy->source_parent_unique_id);
      optional_text(copy->target_screen_unique_id);
      // Only strict runs set a policy; ordinary traces keep their hash.
      if (copy->collision_policy) text(*copy->collision_policy);
    } else {
      const auto& mask = std::get<StressOperation::InputMask>(op.value);
      text(mask.source_slice_unique_id);
      text(mask.target_slice_unique_id);
      flag(mask.allow_overwrite);
    }
  }
  void expected(const ExpectedOutcome& expected) {
    number(expected.value.index());
    if (const auto* error = std::get_if<ExpectedOutcome::ErrorContains>(&expected.value)) {
      text(error->fragment);
    }
  }
  void item(const OperationTraceItem& item) {
    number(item.index);
    operation(item.operation);
    expected(item.expected);
    text(item.outcome);
  }

  std::uint64_t finish() const { return hash_.finish(); }

 private:
  SipHash13 hash_{0, 0};
};

std::string hex16(std::uint64_t value) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text(16, '0');
  for (int i = 15; i >= 0; --i, value >>= 4) text[i] = kDigits[value & 0xf];
  return text;
}

}  // namespace

std::string trace_hash(const std::vector<OperationTraceItem>& items) {
  TraceEncoder encoder;
  for (const OperationTraceItem& item : items) encoder.item(item);
  return hex16(encoder.finish());
}

}  // namespace kivo::stress::checks
