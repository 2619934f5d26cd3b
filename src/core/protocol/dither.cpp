#include "protocol/dither.h"

#include <vector>

QImage ditherFloydSteinberg(const QImage& source)
{
    QImage grey = source.convertToFormat(QImage::Format_Grayscale8);
    const int w = grey.width();
    const int h = grey.height();
    // Two rows of accumulated error, one pixel of margin on each side.
    std::vector<int> current(std::size_t(w) + 2, 0);
    std::vector<int> next(std::size_t(w) + 2, 0);
    for (int y = 0; y < h; ++y) {
        uchar* row = grey.scanLine(y);
        for (int x = 0; x < w; ++x) {
            const int value = row[x] + current[std::size_t(x) + 1] / 16;
            // Mid-grey splits black from white: diffusion keeps the average tone, so the split
            // need not match the printer's own darkness threshold.
            const int out = value < 128 ? 0 : 255;
            const int error = value - out;
            row[x] = uchar(out);
            current[std::size_t(x) + 2] += error * 7;
            next[std::size_t(x)] += error * 3;
            next[std::size_t(x) + 1] += error * 5;
            next[std::size_t(x) + 2] += error * 1;
        }
        current.swap(next);
        std::fill(next.begin(), next.end(), 0);
    }
    return grey;
}
