#ifndef QUORVAL_SRC_COMPUTE_FILEFORMAT_H
#define QUORVAL_SRC_COMPUTE_FILEFORMAT_H

#include "src/compute/details.h"

#include <cstddef>
#include <string_view>

// The data file's format in one place, for its writer, its two readers and the tests: the root,
// and every element the program reads, with what it holds, when it must be there and how it is
// read and written. Elements of other names are ignored wherever they stand, and of two elements
// of one name under the same parent the first counts.
namespace FileFormat {

constexpr std::string_view Root_Name = "Quorval_Data";
constexpr std::string_view Version_Attribute = "File_Version";
// Written always; versions 1 and 2 are read.
constexpr int Written_Version = 2;

enum TElement {
    // Children of the root, in the order they are written.
    OFFSET_A,
    OFFSET_B,
    SET_A,
    SET_B,
    ALIGN,
    MERGE_DISTANCE,
    DETAIL_FIRST, // the identification texts, in Details' order
    DETAIL_LAST = DETAIL_FIRST + Details::Count - 1,
    // Children of a set, and of an entry.
    ENTRY,
    NOMINAL,
    ACTUAL,
    UC,
    ELEMENT_COUNT
};

enum TKind {
    NUMBER,    // a number: NumberText::Read_File_Number's text, written with Shortest_Fixed
    SET,       // zero or more "Entry" elements, written sorted by actual
    ENTRIES,   // "Nominal", "Actual" and "Uc", each once
    ALIGNMENT, // "true" or "false", blanks around; written where not the default (aligned)
    DISTANCE,  // a number of 0 or more; written where not the default (1.0 mm)
    TEXT       // an identification text (Details); written where not empty
};

struct TRule
{
    std::string_view name;
    TKind kind;
    // The first version that must have the element (0: optional in every version) and the first
    // that reads it (version 1 files' offset elements are not looked at).
    int required_from;
    int read_from;
};

constexpr TRule Rules[ELEMENT_COUNT] = {{"Data_Set_A_Offset", NUMBER, 2, 2},
                                        {"Data_Set_B_Offset", NUMBER, 2, 2},
                                        {"Data_Set_A", SET, 1, 1},
                                        {"Data_Set_B", SET, 1, 1},
                                        {"Align_Deviations", ALIGNMENT, 0, 1},
                                        {"Position_Merge_Distance", DISTANCE, 0, 1},
                                        {"Item", TEXT, 0, 1},
                                        {"Set_A_Description", TEXT, 0, 1},
                                        {"Set_B_Description", TEXT, 0, 1},
                                        {"Operator", TEXT, 0, 1},
                                        {"Remarks", TEXT, 0, 1},
                                        {"Record_Number", TEXT, 0, 1},
                                        {"Set_A_Laboratory", TEXT, 0, 1},
                                        {"Set_A_Certificate", TEXT, 0, 1},
                                        {"Set_A_Calibration_Date", TEXT, 0, 1},
                                        {"Set_B_Laboratory", TEXT, 0, 1},
                                        {"Set_B_Certificate", TEXT, 0, 1},
                                        {"Set_B_Calibration_Date", TEXT, 0, 1},
                                        {"Entry", ENTRIES, 0, 1},
                                        {"Nominal", NUMBER, 1, 1},
                                        {"Actual", NUMBER, 1, 1},
                                        {"Uc", NUMBER, 1, 1}};

constexpr std::string_view Name(TElement element) { return Rules[element].name; }

// The element of that name among the children of the root, or of an entry; ELEMENT_COUNT for a
// name the program does not read there.
constexpr TElement Find(std::string_view name, int first, int last)
{
    for (int i = first; i <= last; ++i)
        if (Rules[i].name == name)
            return static_cast<TElement>(i);
    return ELEMENT_COUNT;
}
constexpr TElement Root_Child(std::string_view name) { return Find(name, OFFSET_A, DETAIL_LAST); }
constexpr TElement Entry_Child(std::string_view name) { return Find(name, NOMINAL, UC); }

} // namespace FileFormat

#endif
