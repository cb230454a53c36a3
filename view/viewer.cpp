#include "view/viewer.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "toolkit/toolkit.h"
#include "view/plot_view.h"
#include "view/plot_window.h"

namespace fs = std::filesystem;

namespace {

// At most this much rendered picture is kept for all windows together.
constexpr std::size_t kFrameMemory = 200u << 20;

}  // namespace

ViewerPaths viewerpaths() {
  ViewerPaths p;
  p.drive = IOsDriveRoot();
  p.tmp = (fs::path(p.drive) / "tidecharter" / "tmp").string();
  p.bin = (fs::path(p.drive) / "tidecharter" / "bin").string();
  std::error_code ignored;
  p.self = fs::read_symlink("/proc/self/exe", ignored).string();
  const fs::path beside = fs::path(p.self).parent_path() / "tidecharter";
  p.program = fs::exists(beside, ignored) ? beside.string() : "tidecharter";
  return p;
}

Viewer::Viewer(ViewerPaths paths) : paths_(std::move(paths)), cache_(kFrameMemory) {
  // The frames' Ferrets are kept running for this process.
  setenv("TC_FERRET_OWNER", std::to_string(getpid()).c_str(), 1);
  if (!getenv("TIDECHARTER_VIEW")) setenv("TIDECHARTER_VIEW", paths_.self.c_str(), 1);
}

Viewer::~Viewer() = default;

void Viewer::open(const std::string& dir, std::function<void(const std::string&)> answer) {
  const int id = next_++;
  auto window = std::make_unique<PlotWindow>(*this, id, dir);
  PlotWindow* opened = window.get();
  windows_[id] = std::move(window);
  opened->open(std::move(answer));
}

PlotWindow* Viewer::window(int id) {
  const auto at = windows_.find(id);
  return at == windows_.end() ? nullptr : at->second.get();
}

void Viewer::closed(int id) {
  const auto at = windows_.find(id);
  if (at == windows_.end()) return;
  // Not deleted inside its own call.
  PlotWindow* gone = at->second.release();
  windows_.erase(at);
  toolkit::After(0, [](void* w) { delete static_cast<PlotWindow*>(w); }, gone);
  if (windows_.empty()) {
    last_ = {};
    toolkit::After(0, [](void*) { toolkit::QuitPictureWindows(); }, nullptr);
  }
}

toolkit::ScreenArea Viewer::place(const toolkit::ScreenArea& area, int width, int height, int extra) {
  // The cascade starts afresh once every window was closed.
  last_ = cascade(area, windows_.size() > 1 ? last_ : toolkit::ScreenArea{}, width, height, extra);
  return last_;
}

bool Viewer::maydraw() const { return drawing_ < std::max(1, IOsProcessorCount()); }

void Viewer::closeall() {
  std::vector<int> ids;
  for (const auto& w : windows_) ids.push_back(w.first);
  for (int id : ids)
    if (PlotWindow* w = window(id)) w->close();
}
