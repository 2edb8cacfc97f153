#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace kivo::model {

/// What to copy; other values of the underlying type are refused as unsupported.
enum class NodeKind : std::uint8_t { Screen = 0, Slice = 1, Mask = 2 };

/// The node to copy.
struct TreeNodeRef {
  std::string unique_id;
  std::optional<std::string> parent_unique_id;
  std::uint8_t side = 0;
  NodeKind kind = NodeKind::Screen;
};

/// A copy request.
struct CopyOperation {
  TreeNodeRef source;
  std::string collision_policy;
  std::optional<std::string> target_screen_unique_id;
  std::uint8_t target_side = 1;
};

/// Old-to-new identifier maps of an inserted copy.
struct Remap {
  std::unordered_map<std::string, std::string> unique_id_map;
  std::unordered_map<std::string, std::string> id_hash_map;
};

/// What a successful copy returns.
struct CopyResult {
  std::vector<std::string> messages;
  Remap remap;
  bool completed = false;
};

}  // namespace kivo::model
