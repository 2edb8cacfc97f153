#pragma once

// Compares two trees in what the system reads from them: names, namespace URIs, attributes
// and the content of every node. Namespace declarations and prefixes are left out: the writer
// chooses where it declares.

#include "kivo/element.hpp"

namespace kivo::fuzz {

/// True when `reread` holds the content of `original`; with `padded_comments`, a comment
/// may have gained the one space the writer adds at either end.
bool same_content(const Element& original, const Element& reread, bool padded_comments);

}  // namespace kivo::fuzz
