// The pictures the plot windows have rendered, kept so that stepping back
// and a second pass of play show them from memory: encoded (PNG), keyed by
// window, month and size, bounded for all windows together with the
// oldest dropped first.
#ifndef TIDECHARTER_VIEW_FRAME_CACHE_H
#define TIDECHARTER_VIEW_FRAME_CACHE_H

#include <cstddef>
#include <list>
#include <map>
#include <string>
#include <tuple>

class FrameCache {
 public:
  explicit FrameCache(std::size_t budget) : budget_(budget) {}

  // The picture of `window`'s month at `width` x `height`, or nullptr.
  const std::string* find(const void* window, int month, int width, int height);
  void put(const void* window, int month, int width, int height, std::string encoded);
  // Everything of a window that closed.
  void forget(const void* window);
  std::size_t size() const { return size_; }

 private:
  using Key = std::tuple<const void*, int, int, int>;
  struct Entry {
    std::string encoded;
    std::list<Key>::iterator age;
  };
  std::size_t budget_;
  std::size_t size_ = 0;
  std::map<Key, Entry> entries_;
  std::list<Key> ages_;  // most recently used first
};

#endif
