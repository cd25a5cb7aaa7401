#pragma once
// The own properties of a script object: kept in the order they were added,
// found by a hash of their key. Most objects (activations, small literals)
// hold a handful of properties, which a scan of the hashes finds; larger ones
// get an open-addressing index beside the entries.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "swf_text.h"

namespace swf {

// FNV-1a over the key's bytes.
[[nodiscard]] inline std::uint32_t KeyHash(std::string_view key) {
  std::uint32_t hash = 2166136261u;
  for (const char ch : key) {
    hash ^= static_cast<unsigned char>(ch);
    hash *= 16777619u;
  }
  return hash;
}

// Whether `name` is `lower` (written in lower case) in any letter case.
[[nodiscard]] inline bool EqualsIgnoringCase(std::string_view name, std::string_view lower) {
  if (name.size() != lower.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char ch = name[i];
    if (((ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch - 'A' + 'a') : ch) != lower[i]) return false;
  }
  return true;
}

// A property name as the maps compare it: lower-cased when names ignore case
// (movies before version 7), with its hash. Short names are folded into a
// buffer of their own, so a lookup allocates nothing.
class PropertyKey {
 public:
  PropertyKey(std::string_view name, bool caseless) {
    if (caseless && HasNonAscii(name)) {
      // Letters beyond ASCII fold by the movie's wider rules.
      large_ = FoldNameCase(name);
      text_ = large_;
    } else if (caseless && HasUpper(name)) {
      char* out = nullptr;
      if (name.size() <= sizeof(small_)) {
        out = small_;
      } else {
        large_.resize(name.size());
        out = large_.data();
      }
      for (std::size_t i = 0; i < name.size(); ++i) {
        const char ch = name[i];
        out[i] = (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch - 'A' + 'a') : ch;
      }
      text_ = std::string_view(out, name.size());
    } else {
      text_ = name;
    }
    hash_ = KeyHash(text_);
  }
  PropertyKey(const PropertyKey&) = delete;
  PropertyKey& operator=(const PropertyKey&) = delete;

  [[nodiscard]] std::string_view Text() const { return text_; }
  [[nodiscard]] std::uint32_t Hash() const { return hash_; }

 private:
  static bool HasNonAscii(std::string_view name) {
    for (const char ch : name) {
      if (static_cast<unsigned char>(ch) >= 0x80) return true;
    }
    return false;
  }
  static bool HasUpper(std::string_view name) {
    for (const char ch : name) {
      if (ch >= 'A' && ch <= 'Z') return true;
    }
    return false;
  }
  std::string_view text_;
  std::uint32_t hash_ = 0;
  char small_[48];
  std::string large_;
};

// A stored key with its hash; compares with any text.
struct HashedKey {
  std::string text;
  std::uint32_t hash = 0;
  operator std::string_view() const { return text; }  // NOLINT: reads as the text it holds
  friend bool operator==(const HashedKey& key, std::string_view other) { return key.text == other; }
};

template <typename Value>
class PropertyMap {
 public:
  // `first` is the key, `second` the property, as a map's entries name them.
  struct Entry {
    HashedKey first;
    Value second;
  };
  using iterator = typename std::vector<Entry>::iterator;
  using const_iterator = typename std::vector<Entry>::const_iterator;

  [[nodiscard]] iterator begin() { return entries_.begin(); }
  [[nodiscard]] iterator end() { return entries_.end(); }
  [[nodiscard]] const_iterator begin() const { return entries_.begin(); }
  [[nodiscard]] const_iterator end() const { return entries_.end(); }
  [[nodiscard]] bool empty() const { return entries_.empty(); }
  [[nodiscard]] std::size_t size() const { return entries_.size(); }
  void reserve(std::size_t count) { entries_.reserve(count); }

  [[nodiscard]] iterator find(std::string_view key) { return find(key, KeyHash(key)); }
  [[nodiscard]] const_iterator find(std::string_view key) const { return Find(key, KeyHash(key)); }
  [[nodiscard]] iterator find(const PropertyKey& key) { return find(key.Text(), key.Hash()); }
  [[nodiscard]] iterator find(std::string_view key, std::uint32_t hash) {
    return entries_.begin() + static_cast<std::ptrdiff_t>(Position(key, hash));
  }
  [[nodiscard]] const_iterator Find(std::string_view key, std::uint32_t hash) const {
    return entries_.begin() + static_cast<std::ptrdiff_t>(Position(key, hash));
  }
  [[nodiscard]] bool contains(std::string_view key) const { return find(key) != end(); }

  // Adds the entry unless the key is there; the iterator points at the key's entry.
  std::pair<iterator, bool> emplace(std::string key, Value value) {
    const std::uint32_t hash = KeyHash(key);
    const std::size_t at = Position(key, hash);
    if (at != entries_.size()) return {entries_.begin() + static_cast<std::ptrdiff_t>(at), false};
    Append(std::move(key), hash, std::move(value));
    return {entries_.end() - 1, true};
  }
  // Replaces the value of an existing key (which keeps its place) or adds it.
  std::pair<iterator, bool> insert_or_assign(std::string key, Value value) {
    const std::uint32_t hash = KeyHash(key);
    const std::size_t at = Position(key, hash);
    if (at != entries_.size()) {
      entries_[at].second = std::move(value);
      return {entries_.begin() + static_cast<std::ptrdiff_t>(at), false};
    }
    Append(std::move(key), hash, std::move(value));
    return {entries_.end() - 1, true};
  }
  Value& operator[](std::string key) { return emplace(std::move(key), Value{}).first->second; }
  // Adds an entry the caller found absent, under the hash it looked it up by.
  iterator append(std::string key, std::uint32_t hash, Value value) {
    Append(std::move(key), hash, std::move(value));
    return entries_.end() - 1;
  }

  iterator erase(iterator where) {
    const auto at = static_cast<std::size_t>(where - entries_.begin());
    entries_.erase(where);
    if (!index_.empty()) Reindex();
    return entries_.begin() + static_cast<std::ptrdiff_t>(at);
  }
  std::size_t erase(std::string_view key) {
    const auto found = find(key);
    if (found == end()) return 0;
    erase(found);
    return 1;
  }
  void clear() {
    entries_.clear();
    index_.clear();
  }

 private:
  static constexpr std::size_t kScanLimit = 8;

  std::size_t Position(std::string_view key, std::uint32_t hash) const {
    if (index_.empty()) {
      for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].first.hash == hash && entries_[i].first.text == key) return i;
      }
      return entries_.size();
    }
    const std::size_t mask = index_.size() - 1;
    for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
      const std::uint32_t stored = index_[slot];
      if (stored == 0) return entries_.size();
      const std::size_t i = stored - 1;
      if (entries_[i].first.hash == hash && entries_[i].first.text == key) return i;
    }
  }

  void Append(std::string key, std::uint32_t hash, Value value) {
    entries_.push_back(Entry{HashedKey{std::move(key), hash}, std::move(value)});
    if (entries_.size() > kScanLimit) {
      // At most half the slots in use, so probes stay short.
      if (index_.size() < entries_.size() * 2) {
        Reindex();
      } else {
        Place(entries_.size() - 1);
      }
    }
  }

  void Place(std::size_t i) {
    const std::size_t mask = index_.size() - 1;
    std::size_t slot = entries_[i].first.hash & mask;
    while (index_[slot] != 0) slot = (slot + 1) & mask;
    index_[slot] = static_cast<std::uint32_t>(i + 1);
  }

  void Reindex() {
    if (entries_.size() <= kScanLimit) {
      index_.clear();
      return;
    }
    std::size_t slots = 16;
    while (slots < entries_.size() * 4) slots *= 2;
    index_.assign(slots, 0);
    for (std::size_t i = 0; i < entries_.size(); ++i) Place(i);
  }

  std::vector<Entry> entries_;
  std::vector<std::uint32_t> index_;  // entry position + 1; 0 is an empty slot
};

}  // namespace swf
