#include "core/graph/scalemap.h"

#include <algorithm>
#include <cmath>

namespace {

// The logarithmic warp of a pixel between first and last (first <= last), compressed toward
// first; pixels outside stay as they are.
int Warp_From_Near_End(int pixel, int first, int last)
{
    const double w = static_cast<double>(last) - first + 1.0;
    const double d = static_cast<double>(pixel) - first;
    if (w == 0.0 || d < 0.0 || d > w)
        return pixel;
    return first + TScaleMap::To_Pixel(w * std::log10(9.0 * d / w + 1.0) + 0.5);
}

// The same warp mirrored: compressed toward last.
int Warp_From_Far_End(int pixel, int first, int last)
{
    const double w = static_cast<double>(last) - first + 1.0;
    const double d = static_cast<double>(pixel) - first;
    if (w == 0.0 || d < 0.0 || d > w)
        return pixel;
    return first + static_cast<int>(w) -
           TScaleMap::To_Pixel(w * std::log10(9.0 * (w - d) / w + 1.0) + 0.5);
}

} // namespace

TScaleMap TScaleMap::Horizontal(const double &low, const double &high, int left, int right,
                                TScaleType type)
{
    const double scale = (right - left) / (high - low);
    return {scale, left - low * scale, left, right, type, false};
}

TScaleMap TScaleMap::Vertical(const double &low, const double &high, int top, int bottom,
                              TScaleType type)
{
    const double scale = (top - bottom) / (high - low);
    return {scale, bottom - low * scale, top, bottom, type, true};
}

bool TScaleMap::Usable() const
{
    if (!std::isfinite(scale) || !std::isfinite(offset))
        return false;
    return scale != 0.0 || first == last;
}

double TScaleMap::Value_At(int pixel) const
{
    if (type == SCALE_LOG10)
        return Log10_Value(pixel);
    return (pixel - offset) / scale;
}

int TScaleMap::Position_Of(const double &value) const
{
    if (type == SCALE_LOG10)
        return Log10_Position(value);
    return To_Pixel(value * scale + offset);
}

int TScaleMap::Log10_Position(const double &value) const
{
    if (last - first + 1 == 0)
        return 0;
    const int low = Low_Pixel();
    const int high = High_Pixel();
    const double lo = (low - offset) / scale;
    const double hi = (high - offset) / scale;
    if (value < lo)
        return low;
    if (value > hi)
        return high;
    const double range = hi - lo;
    if (!(range > 0.0) || !std::isfinite(value))
        return low;
    const double e = std::pow(10.0, (range - (value - lo)) / range);
    const double f = 1.0 - (e - 1.0) / 9.0;
    return To_Pixel((lo + f * range) * scale + offset);
}

double TScaleMap::Log10_Value(int pixel) const { return (Reverse_Log10(pixel) - offset) / scale; }

// The warp is the same in values on both axes; rows count the other way, so in pixels the
// vertical axis uses the mirrored form.
int TScaleMap::Reverse_Log10(int pixel) const
{
    return vertical ? Warp_From_Near_End(pixel, first, last)
                    : Warp_From_Far_End(pixel, first, last);
}

int TScaleMap::Forward_Log10(int pixel) const
{
    return vertical ? Warp_From_Far_End(pixel, first, last)
                    : Warp_From_Near_End(pixel, first, last);
}
