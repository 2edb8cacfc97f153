#pragma once

// A preset tree kept as bytes while the run does not use it: a corpus document in use is a tree,
// the others wait packed in about a ninth of a tree's memory (two fifths of its text).

#include <cstdint>
#include <string>
#include <vector>

#include "kivo/element.hpp"

namespace kivo::stress::runner {

/// A tree in the harness's own byte form; unpacks to a tree equal to the one packed (same names,
/// same shared namespace bindings), without the library's reader or writer.
class PackedTree {
 public:
  PackedTree() = default;
  explicit PackedTree(const Element& root);

  /// The tree that was packed.
  Element unpack() const;
  /// Bytes held, tables included (for sizing).
  std::size_t size_bytes() const;

 private:
  friend class Packer;
  friend class Unpacker;

  std::string bytes_;
  std::vector<Name> names_;
  std::vector<InScopeNamespaces> scopes_;
};

}  // namespace kivo::stress::runner
