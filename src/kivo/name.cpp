#include "kivo/name.hpp"

#include <deque>
#include <mutex>
#include <ostream>
#include <shared_mutex>
#include <unordered_map>

namespace kivo {
namespace {

// Enough for every name of many thousand presets; a hostile stream of invented names stops being
// stored here, so the process's memory stays bounded.
constexpr std::size_t kMaxStoredNames = std::size_t{1} << 16;
constexpr std::size_t kMaxStoredLength = 256;

struct Store {
  std::shared_mutex mutex;
  std::unordered_map<std::string_view, const std::string*> index;
  std::deque<std::string> spellings;
};

// Never destroyed: names held by static objects may be read until the very end.
Store& store() {
  static Store* const instance = new Store;
  return *instance;
}

const std::string* find_stored(Store& s, std::string_view text) {
  auto it = s.index.find(text);
  return it == s.index.end() ? nullptr : it->second;
}

// The stored spelling of `text`, or nullptr when the store is full.
const std::string* stored(std::string_view text) {
  Store& s = store();
  {
    std::shared_lock lock(s.mutex);
    if (const std::string* found = find_stored(s, text)) return found;
  }
  std::unique_lock lock(s.mutex);
  if (const std::string* found = find_stored(s, text)) return found;
  if (s.spellings.size() >= kMaxStoredNames || text.size() > kMaxStoredLength) return nullptr;
  const std::string& spelling = s.spellings.emplace_back(text);
  s.index.emplace(spelling, &spelling);
  return &spelling;
}

// A few dozen names make up nearly every lookup, so each thread keeps the recent ones in a small
// direct-mapped table and takes the store's lock only on a miss.
struct RecentNames {
  static constexpr std::size_t kSlots = 512;
  const std::string* slots[kSlots] = {};
};
thread_local RecentNames recent;

std::size_t slot_of(std::string_view text) {
  std::uint32_t hash = 2166136261u;
  for (char c : text) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
  return (hash ^ (hash >> 15)) % RecentNames::kSlots;
}

const std::string* lookup(std::string_view text) {
  const std::string*& slot = recent.slots[slot_of(text)];
  if (slot != nullptr && *slot == text) return slot;
  const std::string* found = stored(text);
  if (found != nullptr) slot = found;
  return found;
}

std::uintptr_t bits_of(const std::string* spelling) {
  return reinterpret_cast<std::uintptr_t>(spelling);
}

}  // namespace

Name::Name(std::string_view text) {
  if (text.empty()) {
    bits_ = empty_bits();
  } else if (const std::string* spelling = lookup(text)) {
    bits_ = bits_of(spelling);
  } else {
    bits_ = bits_of(new std::string(text)) | kOwned;
  }
}

Name::Name(const Name& other)
    : bits_((other.bits_ & kOwned) ? bits_of(new std::string(other.str())) | kOwned
                                   : other.bits_) {}

Name& Name::operator=(const Name& other) {
  if (this != &other) *this = Name(other);
  return *this;
}

Name& Name::operator=(Name&& other) noexcept {
  std::swap(bits_, other.bits_);
  return *this;
}

Name::~Name() {
  if (bits_ & kOwned) delete reinterpret_cast<const std::string*>(bits_ & ~kOwned);
}

std::ostream& operator<<(std::ostream& out, const Name& name) { return out << name.str(); }

}  // namespace kivo
