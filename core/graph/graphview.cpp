#include "core/graph/graphview.h"

#include "core/base/assertion.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Data bounds beyond this are treated as this, so extents, margins and the zoom-out limit stay
// finite.
constexpr double Value_Limit = 1.0e300;
// Extents are never narrower than this fraction of their magnitude: beyond it a fixed widening
// would vanish in rounding and the scale would divide by zero.
constexpr double Relative_Least_Extent = 1.0e-12;

double Clamp_Value(const double &value)
{
    return std::max(-Value_Limit, std::min(Value_Limit, value));
}

// Keeps an extent at least 1e-5 wide by widening 5e-6 on each side.
void Widen_Small_Extent(double *low, double *high)
{
    if (*high - *low < 1e-5) {
        *high += 5e-6;
        *low -= 5e-6;
    }
    const double least = (std::fabs(*low) + std::fabs(*high)) * Relative_Least_Extent;
    if (*high - *low < least) {
        const double middle = *low / 2.0 + *high / 2.0;
        *low = middle - least;
        *high = middle + least;
    }
}

// The margins of a linear axis: a fiftieth of the extent on each side.
void Add_Margins(double *low, double *high)
{
    const double m = (*high - *low) / 50.0;
    *low -= m;
    *high += m;
}

// The zoom-out limit: an extent wider than 50 times the last data fit is cut back to that about
// its own centre, so that repeated zooming out stays over the data (scaling the bounds toward
// value 0 would move data far from 0 off the plot).
void Limit_Zoom_Out(double *low, double *high, const double &data_range)
{
    const double widest = 50.0 * data_range;
    if (*high - *low > widest) {
        const double centre = *low / 2.0 + *high / 2.0;
        *low = centre - widest / 2.0;
        *high = centre + widest / 2.0;
    }
}

// The vertical fit's rule for zero and the scale minimum.
void Include_Zero(const TFitRules &rules, double *low, double *high)
{
    if (rules.y_includes_zero) {
        *high = std::max(*high, rules.scale_minimum_y);
        if (rules.scale_minimum_symmetric)
            *low = std::min(*low, -rules.scale_minimum_y);
    }
}

} // namespace

namespace ViewFit {

TGraphView To_Data(const TGraphScene &scene, const TFitRules &rules, const QRect &plot)
{
    TGraphScene::TBounds b{-5e-6, 5e-6, -5e-6, 5e-6};
    const double all = std::numeric_limits<double>::infinity();
    scene.Bounds(-all, all, &b);
    TGraphView v{Clamp_Value(b.x_low),
                 Clamp_Value(b.x_high),
                 Clamp_Value(b.y_low),
                 Clamp_Value(b.y_high),
                 0.0,
                 0.0};

    Include_Zero(rules, &v.y_low, &v.y_high);
    if (scene.Default_Type() == TGraphScene::GRAPH_BAR) {
        const double pad =
            (v.x_high - v.x_low) / (rules.horizontal_type == TScaleMap::SCALE_LOG10 ? 40.0 : 20.0);
        v.x_high += pad;
        v.x_low -= pad;
    }
    Widen_Small_Extent(&v.x_low, &v.x_high);
    if (rules.lock_aspect_ratio) {
        const double xc = (v.x_low + v.x_high) / 2.0;
        const double height = std::abs(plot.top() - plot.bottom());
        const double r = height > 0.0 ? std::abs(plot.right() - plot.left()) / height : 1.0;
        v.x_low = xc + r * v.y_low;
        v.x_high = xc + r * v.y_high;
        // Locked to a narrow plot area the horizontal extent can collapse again.
        Widen_Small_Extent(&v.x_low, &v.x_high);
    }
    Widen_Small_Extent(&v.y_low, &v.y_high);

    v.x_data_range = v.x_high - v.x_low;
    v.y_data_range = v.y_high - v.y_low;
    if (rules.horizontal_type == TScaleMap::SCALE_LINEAR)
        Add_Margins(&v.x_low, &v.x_high);
    if (rules.vertical_type == TScaleMap::SCALE_LINEAR)
        Add_Margins(&v.y_low, &v.y_high);
    return v;
}

bool To_Box(const TScaleMap &horizontal, const TScaleMap &vertical, const QRect &box,
            TGraphView *view)
{
    QUORVAL_ASSERT(view != nullptr);
    const QRect n = box.normalized();
    TGraphView v = *view;
    v.x_low = horizontal.Plain_Value(n.left());
    v.x_high = horizontal.Plain_Value(n.right());
    v.y_high = vertical.Plain_Value(n.top());
    v.y_low = vertical.Plain_Value(n.bottom());
    if (!std::isfinite(v.x_low) || !std::isfinite(v.x_high) || !std::isfinite(v.y_low) ||
        !std::isfinite(v.y_high))
        return false;

    Limit_Zoom_Out(&v.x_low, &v.x_high, v.x_data_range);
    Limit_Zoom_Out(&v.y_low, &v.y_high, v.y_data_range);
    Widen_Small_Extent(&v.x_low, &v.x_high);
    Widen_Small_Extent(&v.y_low, &v.y_high);
    *view = v;
    return true;
}

TGraphView To_Horizontal_Range(const TGraphScene &scene, const TFitRules &rules, const QRect &plot,
                               const TGraphView &current, const double &low, const double &high)
{
    TGraphView v = current;
    v.x_low = Clamp_Value(std::min(low, high));
    v.x_high = Clamp_Value(std::max(low, high));
    Widen_Small_Extent(&v.x_low, &v.x_high);

    TGraphScene::TBounds b{0.0, 0.0, 0.0, 0.0};
    if (scene.Bounds(v.x_low, v.x_high, &b)) {
        v.y_low = Clamp_Value(b.y_low);
        v.y_high = Clamp_Value(b.y_high);
        Include_Zero(rules, &v.y_low, &v.y_high);
        Widen_Small_Extent(&v.y_low, &v.y_high);
        if (rules.vertical_type == TScaleMap::SCALE_LINEAR)
            Add_Margins(&v.y_low, &v.y_high);
    }
    // Equal units per pixel: the vertical extent follows the horizontal one.
    const int width = plot.right() - plot.left();
    const int height = plot.bottom() - plot.top();
    if (rules.lock_aspect_ratio && width > 0 && height > 0) {
        const double middle = v.y_low / 2.0 + v.y_high / 2.0;
        const double half = (v.x_high - v.x_low) * height / width / 2.0;
        v.y_low = middle - half;
        v.y_high = middle + half;
    }
    return v;
}

TScaleMap Horizontal_Map(const TGraphView &view, const TFitRules &rules, const QRect &plot)
{
    return TScaleMap::Horizontal(view.x_low, view.x_high, plot.left(), plot.right(),
                                 rules.horizontal_type);
}

TScaleMap Vertical_Map(const TGraphView &view, const TFitRules &rules, const QRect &plot)
{
    return TScaleMap::Vertical(view.y_low, view.y_high, plot.top(), plot.bottom(),
                               rules.vertical_type);
}

} // namespace ViewFit
