#pragma once

#include <string_view>

namespace kivo::stress {

/// The eleven lines printed for "-h" and "--help".
inline constexpr std::string_view kUsageText =
    "kivo_stress usage:\n"
    "  --profile <fast|balanced|deep>\n"
    "  --seed <u64>\n"
    "  --template <path>\n"
    "  --docs <n>\n"
    "  --pairs <n>\n"
    "  --ops-per-pair <n>\n"
    "  --invalid-rate <0..1>\n"
    "  --out-dir <path>\n"
    "  --replay <case.json>\n"
    "  --minimize\n";

}  // namespace kivo::stress
