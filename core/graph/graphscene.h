#ifndef QUORVAL_CORE_GRAPH_GRAPHSCENE_H
#define QUORVAL_CORE_GRAPH_GRAPHSCENE_H

#include "core/base/vector2.h"

#include <QColor>
#include <QString>

#include <cstddef>
#include <memory>
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

    // Where a set of brackets gets them: places 0 to Count() - 1, each holding a bracket or none,
    // made when they are read, so that a set of brackets may take its brackets from data kept
    // elsewhere (a comparison's rows) instead of a copy. Every bracket reaches Reach() or its
    // negative and stands at its place's Position.
    class TBracket_Source
    {
    public:
        virtual ~TBracket_Source();
        virtual std::size_t Count() const = 0;
        virtual double Reach() const = 0;
        virtual double Position(std::size_t place) const = 0;
        // The bracket at a place and its colour's index into the set's palette; false for none.
        virtual bool Bracket(std::size_t place, TBracket *bracket, int *colour) const = 0;
    };

    // Points, or brackets: a set of brackets (one or more per position) is drawn exactly as if
    // each bracket were a line set of its own, in order of their places, in its colour out of
    // the set's palette.
    struct TDataSet
    {
        std::vector<TVector2> dataset_points;
        QColor dataset_color;
        TGraphType dataset_type;
        std::shared_ptr<const TBracket_Source> dataset_brackets; // none for a set of points
        std::vector<QColor> dataset_palette;

        std::size_t Bracket_Places() const
        {
            return dataset_brackets ? dataset_brackets->Count() : 0;
        }
        // The bracket at a place and its colour; false for none.
        bool Bracket(std::size_t place, TBracket *bracket, QRgb *colour) const
        {
            int index = 0;
            if (!dataset_brackets->Bracket(place, bracket, &index))
                return false;
            *colour = dataset_palette[static_cast<std::size_t>(index)].rgba();
            return true;
        }
    };

    // Brackets kept in a list, one place each (33 bytes a bracket).
    class TBracket_List : public TBracket_Source
    {
    public:
        explicit TBracket_List(const double &reach) : d_reach(reach) {}
        // A bracket reaching the list's reach or its negative.
        void Add(const TBracket &bracket, int colour);
        std::size_t Count() const override { return d_brackets.size(); }
        double Reach() const override { return d_reach; }
        double Position(std::size_t place) const override { return d_brackets[place].x; }
        bool Bracket(std::size_t place, TBracket *bracket, int *colour) const override;

    private:
        double d_reach;
        std::vector<TBracket> d_brackets;
        std::vector<unsigned char> d_colours;
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
        // Every x is finite and none is smaller than the one before; of brackets: the reach and
        // the places' positions are finite, those ascend, and every bracket has four points
        // with a position.
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
    // A set of the brackets of source in the colours of palette (every colour index of source
    // within it), drawn as lines.
    int Add_Bracket_Set(std::shared_ptr<const TBracket_Source> source, std::vector<QColor> palette);
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

    // The first index of begin to end - 1 for which below is false, below being true for all
    // indices before it and false for all after: std::partition_point over indices.
    template <typename TBelow>
    static std::size_t Partition_Point(std::size_t begin, std::size_t end, const TBelow &below)
    {
        while (begin < end) {
            const std::size_t middle = begin + (end - begin) / 2;
            if (below(middle))
                begin = middle + 1;
            else
                end = middle;
        }
        return begin;
    }

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
