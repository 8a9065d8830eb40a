#ifndef QUORVAL_CORE_GRAPH_SCALEMAP_H
#define QUORVAL_CORE_GRAPH_SCALEMAP_H

#include <algorithm>
#include <cmath>

// The transform of one axis as a value: a data value v sits at pixel v * scale + offset, warped
// on a SCALE_LOG10 axis. first and last are the plot area's edges in pixel order (left and right,
// or top and bottom); the values grow toward last horizontally and toward first vertically.
// Built once per picture from the values shown and the plot area, and handed to the painters.
struct TScaleMap
{
    enum TScaleType {
        SCALE_LINEAR = 1,  // real-valued labels, margins around the fitted data
        SCALE_INTEGER = 2, // labels at whole numbers, no margins
        SCALE_LOG10 = 3    // the low end spread out (see Log10_Position), no margins
    };

    double scale;
    double offset;
    int first;
    int last;
    TScaleType type;
    bool vertical;

    // The maps that show low to high from the plot area's left to its right column, and from its
    // bottom to its top row.
    static TScaleMap Horizontal(const double &low, const double &high, int left, int right,
                                TScaleType type);
    static TScaleMap Vertical(const double &low, const double &high, int top, int bottom,
                              TScaleType type);

    // Whether the map reads pixels back into values: finite, and not flat over a plot area of
    // more than one pixel.
    bool Usable() const;

    int Low_Pixel() const { return vertical ? last : first; }
    int High_Pixel() const { return vertical ? first : last; }
    // Value at a pixel under the plain transform, without the warp.
    double Plain_Value(double pixel) const { return (pixel - offset) / scale; }
    // Value shown at a pixel, and pixel of a value (clamped well inside int).
    double Value_At(int pixel) const;
    int Position_Of(const double &value) const;
    // Pixel position of a finite value before truncation; far outside the plot area it is
    // clamped, finite and in the direction of the value.
    double Position(const double &value) const
    {
        if (type == SCALE_LOG10)
            return Log10_Position(value);
        return std::max(-Position_Limit, std::min(Position_Limit, value * scale + offset));
    }
    // The logarithmic-style warp: the values low to high shown on the axis keep their ends, but
    // a value's share t of the way is drawn at 1 - (10^(1 - t) - 1) / 9 of the way.
    int Log10_Position(const double &value) const;
    double Log10_Value(int pixel) const;
    // The linear-axis pixel of the value shown at a warped pixel, and the opposite warp.
    int Reverse_Log10(int pixel) const;
    int Forward_Log10(int pixel) const;

    // Truncation toward zero of a pixel position, clamped far beyond any plot area yet far
    // inside int; NaN maps to 0.
    static int To_Pixel(double position)
    {
        if (std::isnan(position))
            return 0;
        return static_cast<int>(std::max(-Pixel_Limit, std::min(Pixel_Limit, position)));
    }

    // Positions are kept within this before truncation: far enough that the direction of any
    // line crossing the plot area is kept, yet finite.
    static constexpr double Position_Limit = 1.0e15;
    // Pixels are clamped to this: far beyond any plot area, yet far inside int, so deep zooms and
    // huge values never overflow and inf/NaN never reach a conversion.
    static constexpr double Pixel_Limit = 1.0e7;
};

#endif
