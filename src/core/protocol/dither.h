#pragma once

#include <QImage>

// Floyd-Steinberg error diffusion of an 8-bit greyscale image to pure black (0) and white (255),
// for photographs and shaded logos that a plain threshold turns into blotches. The result goes
// through the same packing as any greyscale image.
QImage ditherFloydSteinberg(const QImage& grey);
