// tevrano_png_region FILE X Y W H MIN_PERCENT: how much of a rectangle of a
// PNG is drawn (pixels with a channel brighter than the interface's dark
// background); exit 0 when at least MIN_PERCENT of it is, 1 when less, 2 on
// a bad file or argument. Used by checks that run the viewer as a user does.
#include <QImage>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 7) {
    std::fprintf(stderr, "usage: tevrano_png_region FILE X Y W H MIN_PERCENT\n");
    return 2;
  }
  const QImage image(QString::fromLocal8Bit(argv[1]));
  if (image.isNull()) {
    std::fprintf(stderr, "tevrano_png_region: cannot read %s\n", argv[1]);
    return 2;
  }
  const int x0 = std::atoi(argv[2]), y0 = std::atoi(argv[3]);
  const int w = std::atoi(argv[4]), h = std::atoi(argv[5]);
  const double minPercent = std::atof(argv[6]);
  if (w <= 0 || h <= 0 || x0 < 0 || y0 < 0 || x0 + w > image.width() || y0 + h > image.height()) {
    std::fprintf(stderr, "tevrano_png_region: the rectangle is not inside the picture\n");
    return 2;
  }
  long drawn = 0;
  for (int y = y0; y < y0 + h; ++y)
    for (int x = x0; x < x0 + w; ++x) {
      const QRgb p = image.pixel(x, y);
      if (qRed(p) > 60 || qGreen(p) > 60 || qBlue(p) > 60) ++drawn;
    }
  const double percent = 100.0 * drawn / (double(w) * h);
  std::printf("%.1f %% of %dx%d at %d,%d drawn\n", percent, w, h, x0, y0);
  return percent >= minPercent ? 0 : 1;
}
