#ifndef QUORVAL_SRC_COMPUTE_TYPES_H
#define QUORVAL_SRC_COMPUTE_TYPES_H

#include <QMetaType>
#include <QString>

// Plain records of the application.
namespace Type {

// One entry of a data set, all in millimetres.
struct TEntryItem
{
    double nominal; // nominal length of the position
    double actual;  // measured length at that position
    double uc;      // expanded uncertainty, k = 2
};

// The comparison's settings, kept with the data in its file.
struct TOptions
{
    // Align set B to set A at B's offset and adjust A's uncertainty.
    bool remove_deviations = true;
    // Positions closer than this (mm) share one; equal positions always do, also at 0.
    double merge_distance = 1.0;
};

// What the comparison treats its entries as; the two settings say it, nothing else is kept.
// Separate items (gauge blocks): not aligned, every distinct length its own position (merge
// distance 0). Positions along one length (line scale, step gauge): aligned, with any merge
// distance. Settings that fit neither (not aligned, merged) are the user's own.
enum class TStandard_Kind { SEPARATE_ITEMS, ONE_LENGTH, OWN_SETTINGS };

inline TStandard_Kind Kind_Of(const TOptions &options)
{
    if (options.remove_deviations)
        return TStandard_Kind::ONE_LENGTH;
    return options.merge_distance == 0.0 ? TStandard_Kind::SEPARATE_ITEMS
                                         : TStandard_Kind::OWN_SETTINGS;
}

// The settings of a kind, starting from the current ones: a line scale keeps its merge distance
// (the default where it had none).
inline TOptions Options_Of(TStandard_Kind kind, const TOptions &current)
{
    TOptions options = current;
    if (kind == TStandard_Kind::SEPARATE_ITEMS) {
        options.remove_deviations = false;
        options.merge_distance = 0.0;
    } else if (kind == TStandard_Kind::ONE_LENGTH) {
        options.remove_deviations = true;
        if (options.merge_distance == 0.0)
            options.merge_distance = TOptions().merge_distance;
    }
    return options;
}

// The kind's name in the window, e.g. in the status line.
inline QString Kind_Name(TStandard_Kind kind)
{
    switch (kind) {
    case TStandard_Kind::SEPARATE_ITEMS: return QStringLiteral("Separate items");
    case TStandard_Kind::ONE_LENGTH: return QStringLiteral("Positions along one length");
    case TStandard_Kind::OWN_SETTINGS: break;
    }
    return QStringLiteral("Own settings");
}

// Who and what a comparison is about, kept with its data: the artefact compared, which
// laboratory, certificate or measurement each set is, who compared them, and remarks; the
// record's number, and for each set the laboratory that calibrated it, its certificate or
// report number and the date(s) of that calibration. Each text is optional (empty), trimmed,
// with "\n" as its only line break.
struct TDetails
{
    QString item;
    QString set_a_description;
    QString set_b_description;
    QString operator_name;
    QString remarks;
    QString record_number;
    QString set_a_laboratory;
    QString set_a_certificate;
    QString set_a_dates;
    QString set_b_laboratory;
    QString set_b_certificate;
    QString set_b_dates;

    bool operator==(const TDetails &other) const
    {
        return item == other.item && set_a_description == other.set_a_description &&
               set_b_description == other.set_b_description &&
               operator_name == other.operator_name && remarks == other.remarks &&
               record_number == other.record_number &&
               set_a_laboratory == other.set_a_laboratory &&
               set_a_certificate == other.set_a_certificate && set_a_dates == other.set_a_dates &&
               set_b_laboratory == other.set_b_laboratory &&
               set_b_certificate == other.set_b_certificate && set_b_dates == other.set_b_dates;
    }
    bool operator!=(const TDetails &other) const { return !(*this == other); }
};

} // namespace Type

// Orders entries by their actual value (not the nominal one).
struct TEntryItem_Sort
{
    bool operator()(const Type::TEntryItem &a, const Type::TEntryItem &b) const
    {
        return a.actual < b.actual;
    }
};

Q_DECLARE_METATYPE(Type::TEntryItem)

#endif
