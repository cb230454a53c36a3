#include "view/frame_cache.h"

const std::string* FrameCache::find(const void* window, int month, int width, int height) {
  const auto at = entries_.find({window, month, width, height});
  if (at == entries_.end()) return nullptr;
  ages_.splice(ages_.begin(), ages_, at->second.age);
  return &at->second.encoded;
}

void FrameCache::put(const void* window, int month, int width, int height, std::string encoded) {
  const Key key{window, month, width, height};
  const auto old = entries_.find(key);
  if (old != entries_.end()) {
    size_ -= old->second.encoded.size();
    ages_.erase(old->second.age);
    entries_.erase(old);
  }
  size_ += encoded.size();
  ages_.push_front(key);
  entries_[key] = Entry{std::move(encoded), ages_.begin()};
  while (size_ > budget_ && ages_.size() > 1) {
    const auto oldest = entries_.find(ages_.back());
    size_ -= oldest->second.encoded.size();
    entries_.erase(oldest);
    ages_.pop_back();
  }
}

void FrameCache::forget(const void* window) {
  for (auto at = entries_.begin(); at != entries_.end();) {
    if (std::get<0>(at->first) != window) {
      ++at;
      continue;
    }
    size_ -= at->second.encoded.size();
    ages_.erase(at->second.age);
    at = entries_.erase(at);
  }
}
