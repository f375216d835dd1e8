// tevrano-viewer: shows the control's form in a window, or runs it headless,
// the way the recorder's web page embeds it.
#include <QApplication>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "host/Viewer.h"
#include "host/ViewerOptions.h"

int main(int argc, char** argv) {
  using namespace tevrano::host;
  std::vector<std::string> args(argv + 1, argv + argc);
  OptionsResult parsed = ParseViewerOptions(args);
  if (parsed.help) {
    std::fputs(kViewerUsage, stdout);
    return 0;
  }
  if (!parsed.options) {
    std::fprintf(stderr, "tevrano-viewer: %s\n%s", parsed.error.c_str(), kViewerUsage);
    return 2;
  }
  const ViewerOptions& options = *parsed.options;

  std::optional<std::string> script;
  if (options.scriptPath) {
    std::ifstream in(*options.scriptPath, std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "tevrano-viewer: cannot read %s\n", options.scriptPath->c_str());
      return 2;
    }
    std::ostringstream text;
    text << in.rdbuf();
    script = text.str();
  }

  // Headless runs need no display: Qt's offscreen platform, chosen before
  // the application object exists.
  if (options.headless) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setApplicationName("tevrano-viewer");

  Viewer viewer(options, std::move(script));
  return viewer.Run();
}
