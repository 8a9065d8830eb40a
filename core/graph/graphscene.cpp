#include "core/graph/graphscene.h"

#include "core/base/assertion.h"

#include <algorithm>
#include <cmath>

namespace {

bool Has_Position(const TVector2 &p) { return std::isfinite(p.x) && std::isfinite(p.y); }

TGraphScene::TSpan Span_Of(const TVector2 *begin, const TVector2 *end)
{
    TGraphScene::TSpan span{{0.0, 0.0, 0.0, 0.0}, false, true, 0};
    double previous = -HUGE_VAL;
    for (const TVector2 *point = begin; point != end; ++point) {
        const TVector2 &p = *point;
        if (!std::isfinite(p.x) || p.x < previous)
            span.sorted = false;
        previous = p.x;
        if (!Has_Position(p))
            continue;
        if (span.found) {
            span.bounds.Include(p);
        } else {
            span.bounds = {p.x, p.x, p.y, p.y};
            span.found = true;
        }
    }
    return span;
}

// Of brackets, sorted means that they can be bisected by their places' positions: those ascend
// and are finite, and every bracket has four points with a position.
TGraphScene::TSpan Span_Of(const TGraphScene::TDataSet &set)
{
    if (!set.dataset_brackets)
        return Span_Of(set.dataset_points.data(),
                       set.dataset_points.data() + set.dataset_points.size());
    const TGraphScene::TBracket_Source &source = *set.dataset_brackets;
    TGraphScene::TSpan span{{0.0, 0.0, 0.0, 0.0}, false, std::isfinite(source.Reach()), 0};
    double previous = -HUGE_VAL;
    TVector2 points[4];
    for (std::size_t k = 0; k < source.Count(); ++k) {
        const double position = source.Position(k);
        span.sorted = span.sorted && std::isfinite(position) && position >= previous;
        previous = position;
        TGraphScene::TBracket bracket;
        int colour = 0;
        if (!source.Bracket(k, &bracket, &colour))
            continue;
        bracket.Points(points);
        span.sorted = span.sorted && std::all_of(points, points + 4, Has_Position);
        const TGraphScene::TSpan one = Span_Of(points, points + 4);
        if (!one.found)
            continue;
        if (span.found) {
            span.bounds.Include(one.bounds);
        } else {
            span.bounds = one.bounds;
            span.found = true;
        }
    }
    return span;
}

// Hands the points between begin and end with an x between low and high to take.
template <typename TTake>
void Take_Points(const TVector2 *begin, const TVector2 *end, bool sorted, const double &low,
                 const double &high, const TTake &take)
{
    // Ascending x: only the points between low and high are read.
    if (sorted) {
        begin = std::lower_bound(begin, end, low,
                                 [](const TVector2 &p, const double &x) { return p.x < x; });
        end = std::upper_bound(begin, end, high,
                               [](const double &x, const TVector2 &p) { return x < p.x; });
    }
    for (const TVector2 *p = begin; p != end; ++p)
        if (Has_Position(*p) && p->x >= low && p->x <= high)
            take({p->x, p->x, p->y, p->y});
}

// The same for the points of a set, or of its brackets.
template <typename TTake>
void Take_Points(const TGraphScene::TDataSet &set, const TGraphScene::TSpan &span,
                 const double &low, const double &high, const TTake &take)
{
    const std::vector<TVector2> &points = set.dataset_points;
    if (!set.dataset_brackets) {
        Take_Points(points.data(), points.data() + points.size(), span.sorted, low, high, take);
        return;
    }
    const TGraphScene::TBracket_Source &source = *set.dataset_brackets;
    std::size_t begin = 0;
    std::size_t end = source.Count();
    // Ascending positions: only the places whose brackets reach from low to high are read.
    if (span.sorted) {
        const double reach = std::fabs(source.Reach());
        begin = TGraphScene::Partition_Point(
            begin, end, [&](std::size_t k) { return source.Position(k) + reach < low; });
        end = TGraphScene::Partition_Point(
            begin, end, [&](std::size_t k) { return source.Position(k) - reach <= high; });
    }
    TVector2 corners[4];
    for (std::size_t k = begin; k < end; ++k) {
        TGraphScene::TBracket bracket;
        int colour = 0;
        if (!source.Bracket(k, &bracket, &colour))
            continue;
        bracket.Points(corners);
        Take_Points(corners, corners + 4, false, low, high, take);
    }
}

} // namespace

void TGraphScene::TBounds::Include(const TVector2 &point)
{
    x_low = std::min(x_low, point.x);
    x_high = std::max(x_high, point.x);
    y_low = std::min(y_low, point.y);
    y_high = std::max(y_high, point.y);
}

void TGraphScene::TBounds::Include(const TBounds &other)
{
    x_low = std::min(x_low, other.x_low);
    x_high = std::max(x_high, other.x_high);
    y_low = std::min(y_low, other.y_low);
    y_high = std::max(y_high, other.y_high);
}

TGraphScene::TGraphScene() : d_default_type(GRAPH_LINE), d_indexed(false) {}

int TGraphScene::Add_Set(const QColor &colour, TGraphType type)
{
    d_sets.push_back(TDataSet{{}, colour, type, {}, {}});
    d_indexed = false;
    return static_cast<int>(d_sets.size()) - 1;
}

std::vector<TVector2> &TGraphScene::Points(int set)
{
    QUORVAL_ASSERT(set >= 0 && set < static_cast<int>(d_sets.size()));
    d_indexed = false;
    return d_sets[static_cast<std::size_t>(set)].dataset_points;
}

int TGraphScene::Add_Bracket_Set(std::shared_ptr<const TBracket_Source> source,
                                 std::vector<QColor> palette)
{
    QUORVAL_ASSERT(source != nullptr);
    const int set = Add_Set(QColor(), GRAPH_LINE);
    d_sets.back().dataset_brackets = std::move(source);
    d_sets.back().dataset_palette = std::move(palette);
    return set;
}

TGraphScene::TBracket_Source::~TBracket_Source() = default;

void TGraphScene::TBracket_List::Add(const TBracket &bracket, int colour)
{
    QUORVAL_ASSERT(colour >= 0 && colour <= 255);
    QUORVAL_ASSERT(bracket.reach == d_reach || bracket.reach == -d_reach ||
                   std::isnan(bracket.reach));
    d_brackets.push_back(bracket);
    d_colours.push_back(static_cast<unsigned char>(colour));
}

bool TGraphScene::TBracket_List::Bracket(std::size_t place, TBracket *bracket, int *colour) const
{
    *bracket = d_brackets[place];
    *colour = d_colours[place];
    return true;
}

void TGraphScene::Remove_Set(int set)
{
    QUORVAL_ASSERT(set >= 0 && set < static_cast<int>(d_sets.size()));
    d_sets.erase(d_sets.begin() + set);
    d_indexed = false;
}

void TGraphScene::Clear()
{
    d_sets.clear();
    d_indexed = false;
}

void TGraphScene::Set_Default_Type(TGraphType type)
{
    d_default_type = type;
    d_indexed = false;
}

const std::vector<TGraphScene::TSpan> &TGraphScene::Spans() const
{
    Index();
    return d_spans;
}

const std::vector<TGraphScene::TRun> &TGraphScene::Runs() const
{
    Index();
    return d_runs;
}

void TGraphScene::Index() const
{
    if (d_indexed)
        return;
    d_spans.clear();
    d_runs.clear();
    d_spans.reserve(d_sets.size());
    d_all = TSpan{{0.0, 0.0, 0.0, 0.0}, false, false, 0};
    for (std::size_t i = 0; i < d_sets.size(); ++i) {
        TSpan span = Span_Of(d_sets[i]);
        span.colour = d_sets[i].dataset_color.rgba();
        const int index = static_cast<int>(i);
        // A set continues the run before it when it is of the same type, and neither end of its
        // bounds lies before that of the run's last set.
        const bool continues = !d_runs.empty() && d_runs.back().end == index && span.found &&
                               d_sets[i].dataset_type == d_sets[i - 1].dataset_type &&
                               span.bounds.x_low >= d_spans.back().bounds.x_low &&
                               span.bounds.x_high >= d_spans.back().bounds.x_high;
        if (continues)
            ++d_runs.back().end;
        else if (span.found)
            d_runs.push_back({index, index + 1});
        if (span.found && d_all.found)
            d_all.bounds.Include(span.bounds);
        else if (span.found)
            d_all = span;
        d_spans.push_back(span);
    }
    d_indexed = true;
}

bool TGraphScene::Bounds(const double &low, const double &high, TBounds *bounds) const
{
    QUORVAL_ASSERT(bounds != nullptr);
    Index();
    if (!d_all.found || d_all.bounds.x_high < low || d_all.bounds.x_low > high)
        return false;
    if (d_all.bounds.x_low >= low && d_all.bounds.x_high <= high) {
        *bounds = d_all.bounds;
        return true;
    }
    bool found = false;
    const auto Take = [&](const TBounds &b) {
        if (found)
            bounds->Include(b);
        else
            *bounds = b;
        found = true;
    };
    for (const TRun &run : d_runs) {
        // In a run the sets reaching from low to high lie between two bisections.
        const auto first = d_spans.begin();
        const auto begin =
            std::partition_point(first + run.begin, first + run.end,
                                 [&low](const TSpan &span) { return span.bounds.x_high < low; });
        const auto end = std::partition_point(begin, first + run.end, [&high](const TSpan &span) {
            return span.bounds.x_low <= high;
        });
        for (auto span = begin; span != end; ++span) {
            if (span->bounds.x_low >= low && span->bounds.x_high <= high)
                Take(span->bounds);
            else
                Take_Points(d_sets[static_cast<std::size_t>(span - first)], *span, low, high, Take);
        }
    }
    return found;
}
