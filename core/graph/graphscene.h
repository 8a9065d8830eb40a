#ifndef QUORVAL_CORE_GRAPH_GRAPHSCENE_H
#define QUORVAL_CORE_GRAPH_GRAPHSCENE_H

#include "core/base/vector2.h"

#include <QColor>
#include <QString>

#include <cstddef>
#include <vector>

// What a graph shows: indexed data sets of TVector2 points (x horizontally, y vertically), drawn
// in index order, and three titles. Plain data for the painter and the fits; it draws nothing.
//
// Beside the points it keeps what the painter and the fits read without visiting every point:
// each set's bounds and whether its x values ascend, and the runs of consecutive sets whose
// bounds ascend, in which the sets reaching a range are found by bisection. They are worked out
// again on the first read after a change.
class TGraphScene
{
public:
    enum TGraphType {
        GRAPH_DEFAULT = 0, // the scene's default type
        GRAPH_LINE = 1,    // straight segments between consecutive points
        GRAPH_BAR = 2,     // a filled bar from each point to the zero line
        GRAPH_CROSS = 3,   // an X of 7 x 7 pixels at each point
        GRAPH_SQUARE = 4   // a filled 6 x 6 pixel square at each point
    };

    // An uncertainty bracket: an upright at x - reach from top to bottom, with arms reaching to
    // x + reach at both ends (open to the right for a positive reach). It is drawn as the line
    // through its four points (x + reach, top), (x - reach, top), (x - reach, bottom) and
    // (x + reach, bottom).
    struct TBracket
    {
        double x;
        double reach;
        double top;
        double bottom;

        void Points(TVector2 points[4]) const
        {
            points[0].x = points[3].x = x + reach;
            points[1].x = points[2].x = x - reach;
            points[0].y = points[1].y = top;
            points[2].y = points[3].y = bottom;
        }
    };

    // A bracket as a set of brackets keeps it: the reach is the set's, or its negative.
    struct TBracket_Row
    {
        double x;
        double top;
        double bottom;
    };

    // Points, or brackets: a set of brackets (many thousands of them, one per position) is drawn
    // exactly as if each bracket were a line set of its own, in order, in its colour out of the
    // set's palette; it keeps 25 bytes a bracket where such sets would take some 180.
    struct TDataSet
    {
        std::vector<TVector2> dataset_points;
        QColor dataset_color;
        TGraphType dataset_type;
        std::vector<TBracket_Row> dataset_brackets;
        // Per bracket: its colour's index into the palette, Mirrored added where its reach is the
        // negative of the set's.
        std::vector<unsigned char> dataset_bracket_kinds;
        std::vector<QColor> dataset_palette;
        double dataset_reach;

        static constexpr unsigned char Mirrored = 0x80;

        TBracket Bracket(std::size_t k) const
        {
            const TBracket_Row &row = dataset_brackets[k];
            const bool mirrored = (dataset_bracket_kinds[k] & Mirrored) != 0;
            return {row.x, mirrored ? -dataset_reach : dataset_reach, row.top, row.bottom};
        }
        const QColor &Bracket_Colour(std::size_t k) const
        {
            return dataset_palette[dataset_bracket_kinds[k] & ~Mirrored & 0xff];
        }
    };

    // The smallest box around the points of a set that have a position (finite x and y).
    struct TBounds
    {
        double x_low;
        double x_high;
        double y_low;
        double y_high;

        void Include(const TVector2 &point);
        void Include(const TBounds &other);
    };

    struct TSpan
    {
        TBounds bounds;
        bool found;  // the set has a point with a position
        // Every x is finite and none is smaller than the one before; of brackets: every bracket
        // has four points with a position, and neither end of a bracket's bounds lies before
        // that of the bracket before it.
        bool sorted;
        QRgb colour; // the set's colour as a painter writes it
    };

    // Sets begin to end - 1: of one type, each with a position, their bounds' low and high x
    // both ascending.
    struct TRun
    {
        int begin;
        int end;
    };

    TGraphScene();

    // ---- Data sets ----
    int Add_Set(const QColor &colour, TGraphType type);
    const std::vector<TDataSet> &Sets() const { return d_sets; }
    // The points of a set, to change.
    std::vector<TVector2> &Points(int set);
    // A set of brackets in the colours of palette (at most 128), drawn as lines, each reaching
    // reach or -reach.
    int Add_Bracket_Set(std::vector<QColor> palette, const double &reach);
    // Adds a bracket in the palette's colour at index colour.
    void Add_Bracket(int set, const TBracket &bracket, int colour);
    void Reserve_Brackets(int set, std::size_t count);
    void Remove_Set(int set);
    void Clear();

    // How the sets of type GRAPH_DEFAULT are drawn; the effective type of a set.
    TGraphType Default_Type() const { return d_default_type; }
    void Set_Default_Type(TGraphType type);
    TGraphType Type_Of(const TDataSet &set) const
    {
        return set.dataset_type == GRAPH_DEFAULT ? d_default_type : set.dataset_type;
    }

    // ---- Titles ----
    const QString &Title() const { return d_title; }
    const QString &Horizontal_Title() const { return d_horizontal_title; }
    const QString &Vertical_Title() const { return d_vertical_title; }
    void Set_Title(const QString &title) { d_title = title; }
    void Set_Horizontal_Title(const QString &title) { d_horizontal_title = title; }
    void Set_Vertical_Title(const QString &title) { d_vertical_title = title; }

    // ---- What is known without visiting the points ----
    const std::vector<TSpan> &Spans() const;
    const std::vector<TRun> &Runs() const;
    // Bounds of the points with a position whose x lies between low and high; false, leaving
    // *bounds alone, when there are none.
    bool Bounds(const double &low, const double &high, TBounds *bounds) const;

private:
    void Index() const;

    std::vector<TDataSet> d_sets;
    TGraphType d_default_type;
    QString d_title;
    QString d_horizontal_title;
    QString d_vertical_title;

    mutable bool d_indexed;
    mutable std::vector<TSpan> d_spans;
    mutable std::vector<TRun> d_runs;
    mutable TSpan d_all; // the bounds of all sets
};

#endif
