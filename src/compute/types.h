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
