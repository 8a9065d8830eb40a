#include "src/compute/report.h"

#include "core/base/assertion.h"
#include "core/base/safewrite.h"
#include "src/compute/numbertext.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unistd.h>

namespace {

const char Title[] = "Comparison Data\n\n";
const int Ruler_Length = 82;
// The widths of a number field and of a summary number at four decimals.
const int Field_Width = 10;
const int Summary_Width = 9;
const char Filler[] = "------";

// A row's En is shown (and counted by the summary) where it has one at a position that is a
// number, so that the summary's mean and largest agree with the lines.
bool Shows_En(const TComparison::TExportData &row) { return row.Has_Position() && row.Has_En(); }

// Calls visit(column, shown, value) for the seven values of a row, left to right: shown where the
// row has that value.
template <typename TVisit> void For_Each_Value(const TComparison::TExportData &row, TVisit visit)
{
    for (int column = 0; column < Report::Column_Count; ++column) {
        double value = 0.0;
        const bool shown = Report::Value_Of(row, column, &value);
        visit(column, shown, value);
    }
}

// The field of one of a row's values as the report prints it: fixed-point in the C locale with
// the column's decimals, right-aligned in 10 characters and one more for each decimal beyond four
// (wider numbers widen their field), the position followed by a blank and every other field
// preceded by one; the filler where the value is missing. Appended to text.
void Append_Field(QByteArray *text, int column, bool shown, const double &value, int decimals)
{
    if (column > 0)
        *text += ' ';
    const int width = Field_Width + decimals - Report::Least_Decimals;
    if (shown) {
        NumberText::Append_Fixed(text, value, width, decimals);
    } else {
        text->append(width - static_cast<int>(sizeof Filler - 1), ' ');
        text->append(Filler, static_cast<int>(sizeof Filler - 1));
    }
    if (column == 0)
        *text += ' ';
}

// The same field written at out where NumberText::Write_Fixed takes the value: its end, or
// nullptr.
char *Write_Field(char *out, int column, bool shown, const double &value, int decimals)
{
    if (column > 0)
        *out++ = ' ';
    const int width = Field_Width + decimals - Report::Least_Decimals;
    if (shown) {
        out = NumberText::Write_Fixed(out, value, width, decimals);
        if (out == nullptr)
            return nullptr;
    } else {
        const int filler = static_cast<int>(sizeof Filler - 1);
        std::memset(out, ' ', static_cast<std::size_t>(width - filler));
        std::memcpy(out + width - filler, Filler, filler);
        out += width;
    }
    if (column == 0)
        *out++ = ' ';
    return out;
}

QByteArray Summary_Line(const char *label, const double &value, int decimals)
{
    QByteArray line = label;
    const int width = Summary_Width + decimals - Report::Least_Decimals;
    if (std::isfinite(value))
        NumberText::Append_Fixed(&line, value, width, decimals);
    else
        line += QByteArray(NumberText::Not_A_Number).rightJustified(width, ' ');
    return line + '\n';
}

// Whether opening the name for writing would succeed, decided without creating or changing
// anything: an existing file must be writable, a new one needs a writable folder.
bool Can_Open_For_Writing(const QString &file_name)
{
    if (file_name.isEmpty())
        return false;
    const QFileInfo info(file_name);
    if (info.exists()) {
        if (info.isDir())
            return false;
        return ::access(QFile::encodeName(file_name).constData(), W_OK) == 0;
    }
    const QFileInfo folder(info.absolutePath());
    return folder.isDir() &&
           ::access(QFile::encodeName(folder.absoluteFilePath()).constData(), W_OK | X_OK) == 0;
}

} // namespace

namespace Report {

QByteArray Text(const std::vector<TComparison::TExportData> &rows, const double &offset_b,
                const double &dev_offset_b, int decimals)
{
    QUORVAL_ASSERT(decimals >= Least_Decimals);
    const int wider = decimals - Least_Decimals;
    QByteArray text;
    text.reserve(
        static_cast<int>(std::min<std::size_t>(rows.size(), 10000000) * (80 + 7 * wider) + 512));
    text += Title;
    // "Position       Dev. A     Dev. B      Uc A      Uc A Adj    Uc B        En" at four
    // decimals, each title but the first moved right by the columns' widening.
    for (const TColumn &column : Columns) {
        text.append(column.header_blanks + (&column == &Columns[0] ? 0 : wider), ' ');
        text += column.title;
    }
    text += '\n';
    text += QByteArray(Ruler_Length + 7 * wider, '-');
    text += '\n';

    // Each line is written straight into the text; a line with a value that only Qt writes
    // (a zero, a tie, a huge number) is appended field by field.
    const int line_room = 7 * (std::max(Field_Width + wider, NumberText::Most_Fast_Digits) + 2) + 1;
    for (const TComparison::TExportData &row : rows) {
        const int start = text.size();
        text.resize(start + line_room);
        char *end = text.data() + start;
        For_Each_Value(row, [&](int column, bool shown, const double &value) {
            if (end != nullptr)
                end = Write_Field(end, column, shown, value, decimals);
        });
        if (end != nullptr) {
            *end++ = '\n';
            text.resize(static_cast<int>(end - text.constData()));
            continue;
        }
        text.resize(start);
        For_Each_Value(row, [&](int column, bool shown, const double &value) {
            Append_Field(&text, column, shown, value, decimals);
        });
        text += '\n';
    }

    // Without any En value there is nothing to summarise, not even the offsets.
    const TSummary summary = Summarise(rows);
    if (summary.en_count > 0) {
        text += "\n\n";
        text += Summary_Line("Data B Pos Offset: ", offset_b, decimals);
        text += Summary_Line("Data B Dev Offset: ", dev_offset_b, decimals);
        text += Summary_Line("En Avg:            ", summary.en_mean, decimals);
        text += Summary_Line("En Max:            ", summary.en_max, decimals);
    }
    return text;
}

const std::array<TColumn, Column_Count> Columns = {{
    {"Position", "(mm)", "position", 0, TColumn_Kind::LENGTH},
    {"Dev. A", "(mm)", "dev_a", 7, TColumn_Kind::LENGTH},
    {"Dev. B", "(mm)", "dev_b", 5, TColumn_Kind::LENGTH},
    {"Uc A", "(k=2) (mm)", "uc_a", 6, TColumn_Kind::UNCERTAINTY},
    {"Uc A Adj", "(k=2) (mm)", "uc_a_adj", 6, TColumn_Kind::UNCERTAINTY},
    {"Uc B", "(k=2) (mm)", "uc_b", 4, TColumn_Kind::UNCERTAINTY},
    {"En", "", "en", 8, TColumn_Kind::EN},
}};

TDecimals Same_Decimals(int decimals)
{
    TDecimals same;
    same.fill(decimals);
    return same;
}

TDecimals Document_Decimals(int data_decimals, int en_decimals)
{
    TDecimals decimals;
    for (int column = 0; column < Column_Count; ++column)
        decimals[column] = Columns[column].kind == TColumn_Kind::EN ? en_decimals : data_decimals;
    return decimals;
}

QString Cell_Text(const TComparison::TExportData &row, int column, int decimals)
{
    double value = 0.0;
    return Value_Of(row, column, &value) ? NumberText::At_Resolution(value, decimals)
                                         : QString::fromLatin1(Filler);
}

bool Disagrees(const TComparison::TExportData &row) { return Shows_En(row) && row.en_value > 1.0; }

QString Merged_Entry_Text(const TComparison::TMerged_Entry &entry)
{
    const int decimals = NumberText::Telling_Decimals(entry.nominal, entry.position);
    return QStringLiteral("%1 %2 \u2192 %3")
        .arg(entry.set_b ? QLatin1Char('B') : QLatin1Char('A'))
        .arg(NumberText::At_Resolution(entry.nominal, decimals),
             NumberText::At_Resolution(entry.position, decimals));
}

QString Merged_Text(const std::vector<TComparison::TMerged_Entry> &merged, std::size_t most)
{
    if (merged.empty())
        return QString();
    QStringList named;
    for (std::size_t i = 0; i < merged.size() && i < most; ++i)
        named.append(Merged_Entry_Text(merged[i]));
    QString text = QStringLiteral("%1 %2 a position: %3")
                       .arg(merged.size())
                       .arg(merged.size() == 1 ? "entry shares" : "entries share")
                       .arg(named.join(QStringLiteral(", ")));
    if (merged.size() > most)
        text += QStringLiteral(" and %1 more").arg(merged.size() - most);
    return text;
}

TSummary Summarise(const std::vector<TComparison::TExportData> &rows)
{
    TSummary summary;
    summary.positions = static_cast<int>(rows.size());
    double en_sum = 0.0;
    for (const TComparison::TExportData &row : rows) {
        summary.covered += row.uc_a_valid && row.uc_b_valid;
        if (!Shows_En(row))
            continue;
        en_sum += row.en_value;
        ++summary.en_count;
        if (summary.en_count == 1 || row.en_value > summary.en_max) {
            summary.en_max = row.en_value;
            summary.en_max_position = row.position;
        }
        if (Disagrees(row))
            ++summary.above_one;
    }
    if (summary.en_count == 0)
        return summary;
    summary.en_mean = en_sum / summary.en_count;
    // En values near the largest double can add up beyond it: then the mean is taken from the
    // values divided first.
    if (std::isinf(en_sum)) {
        summary.en_mean = 0.0;
        for (const TComparison::TExportData &row : rows)
            if (Shows_En(row))
                summary.en_mean += row.en_value / summary.en_count;
    }
    return summary;
}

QString No_En_Reason(const TSummary &summary)
{
    if (summary.covered == 0)
        return QStringLiteral("no position is covered by both sets");
    return QStringLiteral("%1 covered by both sets, but their values are too large to compute "
                          "with")
        .arg(summary.covered == 1 ? QStringLiteral("1 position is")
                                  : QStringLiteral("%1 positions are").arg(summary.covered));
}

bool Write_File(const QString &file_name, const QByteArray &text, QString *last_error,
                bool *in_place)
{
    QUORVAL_ASSERT(last_error);
    SafeWrite::TCommit commit;
    if (!Prepare_File(&commit, file_name, text, last_error, in_place))
        return false;
    QString reason;
    if (!commit.Commit(nullptr, &reason)) {
        *last_error = Write_Error(file_name, reason);
        return false;
    }
    return true;
}

bool Prepare_File(SafeWrite::TCommit *commit, const QString &file_name, const QByteArray &text,
                  QString *last_error, bool *in_place)
{
    QUORVAL_ASSERT(commit);
    QUORVAL_ASSERT(last_error);
    if (!Can_Open_For_Writing(file_name)) {
        *last_error = QStringLiteral("ERR  Cannot open file '%1' for writing.").arg(file_name);
        return false;
    }
    QString reason;
    if (!commit->Prepare(file_name, text, &reason, in_place)) {
        *last_error = Write_Error(file_name, reason);
        return false;
    }
    return true;
}

QString Write_Error(const QString &file_name, const QString &reason)
{
    return QStringLiteral("ERR  Cannot write file '%1': %2").arg(file_name, reason);
}

} // namespace Report
