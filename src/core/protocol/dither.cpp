#include "protocol/dither.h"

#include <vector>

QImage ditherFloydSteinberg(const QImage& source)
{
    QImage grey = source.convertToFormat(QImage::Format_Grayscale8);
    const int w = grey.width();
    const int h = grey.height();
    // Two rows of accumulated error in sixteenths of a grey level, one pixel of margin on each
    // side. Each pixel hands on its whole error, the remainders of the division by 16 included:
    // dropping them makes light and dark flat fields visibly too extreme.
    std::vector<int> current(std::size_t(w) + 2, 0);
    std::vector<int> next(std::size_t(w) + 2, 0);
    for (int y = 0; y < h; ++y) {
        uchar* row = grey.scanLine(y);
        for (int x = 0; x < w; ++x) {
            const int value = 16 * row[x] + current[std::size_t(x) + 1];
            // Mid-grey splits black from white: diffusion keeps the average tone, so the split
            // need not match the printer's own darkness threshold.
            const int out = value < 16 * 128 ? 0 : 255;
            const int error = value - 16 * out;
            const int right = error * 7 / 16;
            const int belowLeft = error * 3 / 16;
            const int below = error * 5 / 16;
            row[x] = uchar(out);
            current[std::size_t(x) + 2] += right;
            next[std::size_t(x)] += belowLeft;
            next[std::size_t(x) + 1] += below;
            next[std::size_t(x) + 2] += error - right - belowLeft - below;
        }
        current.swap(next);
        std::fill(next.begin(), next.end(), 0);
    }
    return grey;
}
