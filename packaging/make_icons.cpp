// Writes the program's icon into a hicolor icon tree for installation:
// DIR/hicolor/NxN/apps/NAME.png for each size, and the SVG under
// DIR/hicolor/scalable/apps. Usage: make_icons DIR NAME
#include <cstdio>
#include <filesystem>
#include <string>

#include "toolkit/program_icon.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_icons DIR NAME\n");
    return 2;
  }
  namespace fs = std::filesystem;
  const fs::path top = fs::path(argv[1]) / "hicolor";
  const std::string icon = argv[2];
  auto place = [&top, &icon](const std::string& size) {
    const fs::path dir = top / size / "apps";
    std::error_code error;
    fs::create_directories(dir, error);
    return (dir / icon).string();
  };
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    const std::string name = std::to_string(size);
    const std::string file = place(name + "x" + name) + ".png";
    if (!toolkit::WriteProgramIconPng(file, size)) {
      std::fprintf(stderr, "make_icons: cannot write %s\n", file.c_str());
      return 1;
    }
  }
  const std::string svg = place("scalable") + ".svg";
  if (!toolkit::WriteProgramIconSvg(svg, 256)) {
    std::fprintf(stderr, "make_icons: cannot write %s\n", svg.c_str());
    return 1;
  }
  return 0;
}
