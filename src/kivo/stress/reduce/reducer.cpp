#include <algorithm>

#include "kivo/stress/artifacts.hpp"
#include "kivo/stress/reduce.hpp"
#include "kivo/stress/reduce/ddmin.hpp"
#include "kivo/stress/reduce/values.hpp"

namespace kivo::stress::reduce {
namespace {

using Clock = std::chrono::steady_clock;
using Path = std::vector<std::size_t>;
using detail::ddmin;

template <class Root>
auto* element_at(Root& root, const Path& path) {
  auto* at = &root;
  for (std::size_t index : path) {
    if (at == nullptr || index >= at->children.size()) return decltype(at){nullptr};
    at = at->children[index].as_element();
  }
  return at;
}

void collect_paths(const Element& at, Path& path, std::vector<Path>& out) {
  out.push_back(path);
  for (std::size_t i = 0; i < at.children.size(); ++i) {
    if (const Element* child = at.children[i].as_element()) {
      path.push_back(i);
      collect_paths(*child, path, out);
      path.pop_back();
    }
  }
}

std::vector<Path> element_paths(const Element& root) {
  std::vector<Path> paths;
  Path path;
  collect_paths(root, path, paths);
  return paths;
}

// The text a node holds that may be shortened; nullptr for elements and instructions.
std::string* text_of(XMLNode& node) {
  if (auto* text = std::get_if<Text>(&node.value)) return &text->text;
  if (auto* data = std::get_if<CData>(&node.value)) return &data->text;
  if (auto* comment = std::get_if<Comment>(&node.value)) return &comment->text;
  return nullptr;
}

enum class Side { Source, Target };

class Reducer {
 public:
  Reducer(const FailingCase& failing, const Options& options)
      : options_(options),
        signature_(signature_of(failing.trace.back())),
        deadline_(Clock::now() + options.budget),
        current_(failing) {}

  Reduction run() {
    const auto started = Clock::now();
    Reduction result;
    auto source = settled(current_.source);
    auto target = settled(current_.target);
    result.reproduced =
        source && target && try_case(std::move(source), std::move(target), current_.trace);
    while (result.reproduced) {
      const std::uint64_t accepted = accepted_;
      reduce_trace();
      for (Side side : {Side::Target, Side::Source}) {
        Path root;
        reduce_children(side, root);
      }
      for (Side side : {Side::Target, Side::Source}) reduce_attributes(side);
      for (Side side : {Side::Target, Side::Source}) simplify(side);
      if (out_of_time_) break;
      if (accepted_ == accepted) {
        result.complete = true;
        break;
      }
    }
    result.reduced = current_;
    result.replays = replays_;
    result.elapsed = Clock::now() - started;
    return result;
  }

 private:
  bool cancelled() const {
    return options_.cancel != nullptr && options_.cancel->load(std::memory_order_relaxed);
  }

  Element& doc(Side side) { return side == Side::Source ? current_.source : current_.target; }

  // A document as its case file reads back, so the reduced case replays as it was judged, with
  // the size of that file.
  struct Settled {
    Element tree;
    std::uint64_t bytes = 0;
  };

  std::optional<Settled> settled(const Element& root) const {
    auto text = artifacts::case_preset_text(root, options_.strict);
    if (!text) return std::nullopt;
    auto tree = artifacts::read_case_preset(*text, options_.strict);
    if (!tree) return std::nullopt;
    return Settled{std::move(*tree), text->size()};
  }

  bool out_of_time() {
    return out_of_time_ || (out_of_time_ = Clock::now() >= deadline_ || cancelled());
  }

  // A candidate changes one document, both (the first), or neither (a shorter trace); a document
  // left out is the current one, already settled. It is taken when it still fails alike and is a
  // step forward: smaller files or a shorter trace, or the same size and different (a smaller
  // number, fewer characters of one kind). Reading back may undo a removal, and without this the
  // reduction would go round.
  bool try_case(std::optional<Settled> source, std::optional<Settled> target,
                const std::vector<OperationTraceItem>& trace) {
    if (out_of_time()) return false;
    const std::uint64_t bytes =
        (source ? source->bytes : source_bytes_) + (target ? target->bytes : target_bytes_);
    const bool first = accepted_ == 0;
    const bool unchanged = !first && trace.size() == current_.trace.size() &&
                           (!source || source->tree == current_.source) &&
                           (!target || target->tree == current_.target);
    const std::uint64_t bytes_now = source_bytes_ + target_bytes_;
    if (!first && (unchanged || bytes > bytes_now ||
                   (bytes == bytes_now && trace.size() > current_.trace.size()))) {
      return false;
    }
    ++replays_;
    auto observed =
        fails_alike(source ? source->tree : current_.source,
                    target ? target->tree : current_.target, trace, signature_, options_.strict);
    if (!observed) return false;
    if (source) {
      current_.source = std::move(source->tree);
      source_bytes_ = source->bytes;
    }
    if (target) {
      current_.target = std::move(target->tree);
      target_bytes_ = target->bytes;
    }
    current_.trace = std::move(*observed);
    ++accepted_;
    if (options_.on_progress) options_.on_progress({source_bytes_ + target_bytes_, replays_});
    return true;
  }

  // Only the changed document is written and read back.
  bool try_doc(Side side, const Element& candidate) {
    if (out_of_time()) return false;
    auto changed = settled(candidate);
    if (!changed) return false;
    if (side == Side::Source) return try_case(std::move(changed), std::nullopt, current_.trace);
    return try_case(std::nullopt, std::move(changed), current_.trace);
  }

  // Earlier steps the failure does not need.
  void reduce_trace() {
    const std::vector<OperationTraceItem> base = current_.trace;
    if (base.size() < 2) return;
    ddmin(base.size() - 1, [&](const std::vector<std::size_t>& kept) {
      std::vector<OperationTraceItem> trace;
      for (std::size_t k : kept) trace.push_back(base[k]);
      trace.push_back(base.back());
      return try_case(std::nullopt, std::nullopt, trace);
    });
  }

  // Children of the element at `path` by delta debugging, then the same inside each child kept.
  void reduce_children(Side side, Path& path) {
    const Element base = doc(side);
    const Element* parent = element_at(base, path);
    if (parent == nullptr) return;
    ddmin(parent->children.size(), [&](const std::vector<std::size_t>& kept) {
      Element candidate = base;
      Element* at = element_at(candidate, path);
      std::vector<XMLNode> children;
      for (std::size_t k : kept) children.push_back(std::move(at->children[k]));
      at->children = std::move(children);
      return try_doc(side, candidate);
    });
    for (std::size_t i = 0; !out_of_time_; ++i) {
      const Element* now = element_at(doc(side), path);
      if (now == nullptr || i >= now->children.size()) break;
      if (now->children[i].as_element() == nullptr) continue;
      path.push_back(i);
      reduce_children(side, path);
      path.pop_back();
    }
  }

  void reduce_attributes(Side side) {
    for (const Path& path : element_paths(doc(side))) {
      if (out_of_time_) return;
      const Element base = doc(side);
      const Element* element = element_at(base, path);
      if (element == nullptr) continue;
      ddmin(element->attributes.size(), [&](const std::vector<std::size_t>& kept) {
        Element candidate = base;
        Element* at = element_at(candidate, path);
        std::vector<std::string> dropped;
        for (std::size_t i = 0, k = 0; i < at->attributes.size(); ++i) {
          if (k < kept.size() && kept[k] == i) {
            ++k;
          } else {
            dropped.push_back(at->attributes.entries()[i].first);
          }
        }
        for (const std::string& name : dropped) at->attributes.remove(name);
        return try_doc(side, candidate);
      });
    }
  }

  // The first shorter value that keeps the failure, for the value `reach` finds in the element.
  template <class Reach>
  void shorten(Side side, const Path& path, Reach reach) {
    Element candidate = doc(side);
    Element* element = element_at(candidate, path);
    std::string* slot = element ? reach(*element) : nullptr;
    if (slot == nullptr) return;
    for (std::string& shorter : detail::shorter_values(*slot)) {
      *slot = std::move(shorter);
      if (try_doc(side, candidate)) return;
    }
  }

  void simplify(Side side) {
    for (const Path& path : element_paths(doc(side))) {
      const Element* element = element_at(doc(side), path);
      const std::size_t attributes = element ? element->attributes.size() : 0;
      const std::size_t children = element ? element->children.size() : 0;
      for (std::size_t i = 0; i < attributes && !out_of_time_; ++i) {
        shorten(side, path, [i](Element& at) {
          return i < at.attributes.size() ? &at.attributes.entries()[i].second : nullptr;
        });
      }
      for (std::size_t i = 0; i < children && !out_of_time_; ++i) {
        shorten(side, path, [i](Element& at) {
          return i < at.children.size() ? text_of(at.children[i]) : nullptr;
        });
      }
    }
  }

  const Options& options_;
  const FailureSignature signature_;
  const Clock::time_point deadline_;
  FailingCase current_;
  std::uint64_t replays_ = 0;
  std::uint64_t accepted_ = 0;
  std::uint64_t source_bytes_ = 0;
  std::uint64_t target_bytes_ = 0;
  bool out_of_time_ = false;
};

}  // namespace

Reduction reduce_case(const FailingCase& failing, const Options& options) {
  if (failing.trace.empty()) return {failing, 0, {}, false, false};
  return Reducer(failing, options).run();
}

}  // namespace kivo::stress::reduce
