#include "src/compute/report.h"

#include "core/base/assertion.h"
#include "core/base/safewrite.h"
#include "src/compute/entrylists.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <unistd.h>

namespace {

const char Title[] = "Comparison Data\n\n";
const char Header[] =
    "Position       Dev. A     Dev. B      Uc A      Uc A Adj    Uc B        En\n";
const char Filler[] = "     ------";
// A position that is not a number, in the width of the position column.
const char Position_Filler[] = "    ------ ";

// A row's En is shown (and counted by the summary) where it has one at a position that is a
// number, so that the summary's mean and largest agree with the lines.
bool Shows_En(const TComparison::TExportData &row) { return row.Has_Position() && row.Has_En(); }

// The seven fields of a row as the report prints them: fixed-point with four decimals in the C
// locale, right-aligned in 10 characters (wider numbers widen their field), the position followed
// by a blank and every other field preceded by one; the fillers where a value is missing.
template <typename TSink> void Row_Fields_Into(const TComparison::TExportData &row, TSink Field)
{
    QByteArray field;
    const auto Value = [&](bool shown, const double &value) {
        field.clear();
        if (shown) {
            field += ' ';
            EntryLists::Append_Fixed_Text(&field, value, 10);
        } else {
            field += Filler;
        }
        Field(field);
    };
    field.clear();
    if (row.Has_Position()) {
        EntryLists::Append_Fixed_Text(&field, row.position, 10);
        field += ' ';
    } else {
        field += Position_Filler;
    }
    Field(field);
    Value(row.Has_Dev_A(), row.dev_a);
    Value(row.Has_Dev_B(), row.dev_b);
    Value(row.Has_Uc_A(), row.uc_a);
    Value(row.Has_Uc_A_Adj(), row.uc_a_adj);
    Value(row.Has_Uc_B(), row.uc_b);
    Value(Shows_En(row), row.en_value);
}

QString Summary_Line(const char *label, const double &value)
{
    return QLatin1String(label) + QStringLiteral("%1\n").arg(value, 9, 'f', 4, QLatin1Char(' '));
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
                const double &dev_offset_b)
{
    QByteArray text;
    text.reserve(static_cast<int>(std::min<std::size_t>(rows.size(), 10000000) * 80 + 512));
    text += Title;
    text += Header;
    text += QByteArray(82, '-');
    text += '\n';

    for (const TComparison::TExportData &row : rows) {
        Row_Fields_Into(row, [&text](const QByteArray &field) { text += field; });
        text += '\n';
    }

    // Without any En value there is nothing to summarise, not even the offsets.
    const TSummary summary = Summarise(rows);
    if (summary.en_count > 0) {
        QString lines = QStringLiteral("\n\n");
        lines += Summary_Line("Data B Pos Offset: ", offset_b);
        lines += Summary_Line("Data B Dev Offset: ", dev_offset_b);
        lines += Summary_Line("En Avg:            ", summary.en_mean);
        lines += Summary_Line("En Max:            ", summary.en_max);
        text += lines.toLatin1();
    }
    return text;
}

const std::array<const char *, 7> Column_Titles = {"Position", "Dev. A", "Dev. B", "Uc A",
                                                   "Uc A Adj", "Uc B",   "En"};

TRow_Fields Row_Fields(const TComparison::TExportData &row)
{
    TRow_Fields fields;
    std::size_t i = 0;
    Row_Fields_Into(row,
                    [&](const QByteArray &field) { fields[i++] = QString::fromLatin1(field); });
    return fields;
}

bool Disagrees(const TComparison::TExportData &row) { return Shows_En(row) && row.en_value > 1.0; }

QString Number_Text(const double &value) { return QStringLiteral("%1").arg(value, 0, 'f', 4); }

TSummary Summarise(const std::vector<TComparison::TExportData> &rows)
{
    TSummary summary;
    summary.positions = static_cast<int>(rows.size());
    double en_sum = 0.0;
    for (const TComparison::TExportData &row : rows) {
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

bool Write_File(const QString &file_name, const QByteArray &text, QString *last_error,
                bool *in_place)
{
    QUORVAL_ASSERT(last_error);
    SafeWrite::TCommit commit;
    if (!Prepare_File(&commit, file_name, text, last_error, in_place))
        return false;
    QString reason;
    if (!commit.Commit(nullptr, &reason)) {
        *last_error = Write_Error(reason);
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
        *last_error = QStringLiteral("ERR  Cannot open file for writing.");
        return false;
    }
    QString reason;
    if (!commit->Prepare(file_name, text, &reason, in_place)) {
        *last_error = Write_Error(reason);
        return false;
    }
    return true;
}

QString Write_Error(const QString &reason)
{
    return QStringLiteral("ERR  Cannot write file: %1").arg(reason);
}

} // namespace Report
