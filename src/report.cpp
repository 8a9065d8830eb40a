#include "src/report.h"

#include "core/assertion.h"
#include "core/safewrite.h"

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
const QString Position_Filler = QStringLiteral("    ------ ");

// Fixed-point with four decimals in the C locale; wider numbers widen their field.
QString Position_Field(const double &value)
{
    return QStringLiteral("%1 ").arg(value, 10, 'f', 4, QLatin1Char(' '));
}

QString Value_Field(const double &value)
{
    return QStringLiteral(" %1").arg(value, 10, 'f', 4, QLatin1Char(' '));
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

    double en_sum = 0.0;
    double en_max = 0.0;
    int en_count = 0;
    QString line;
    for (const TComparison::TExportData &row : rows) {
        line = row.Has_Position() ? Position_Field(row.position) : Position_Filler;
        line += row.Has_Dev_A() ? Value_Field(row.dev_a) : QLatin1String(Filler);
        line += row.Has_Dev_B() ? Value_Field(row.dev_b) : QLatin1String(Filler);
        line += row.Has_Uc_A() ? Value_Field(row.uc_a) : QLatin1String(Filler);
        line += row.Has_Uc_A_Adj() ? Value_Field(row.uc_a_adj) : QLatin1String(Filler);
        line += row.Has_Uc_B() ? Value_Field(row.uc_b) : QLatin1String(Filler);
        // The summary counts the En values the lines show, so that its mean and largest agree.
        if (row.Has_Position() && row.Has_En()) {
            line += Value_Field(row.en_value);
            en_sum += row.en_value;
            ++en_count;
            en_max = std::max(en_max, row.en_value);
        } else {
            line += QLatin1String(Filler);
        }
        line += QLatin1Char('\n');
        text += line.toLatin1();
    }

    // Without any En value there is nothing to summarise, not even the offsets.
    if (en_count > 0) {
        QString summary = QStringLiteral("\n\n");
        summary += Summary_Line("Data B Pos Offset: ", offset_b);
        summary += Summary_Line("Data B Dev Offset: ", dev_offset_b);
        double en_mean = en_sum / en_count;
        // En values near the largest double can add up beyond it: then the mean is taken from
        // the values divided first.
        if (std::isinf(en_sum)) {
            en_mean = 0.0;
            for (const TComparison::TExportData &row : rows)
                if (row.Has_Position() && row.Has_En())
                    en_mean += row.en_value / en_count;
        }
        summary += Summary_Line("En Avg:            ", en_mean);
        summary += Summary_Line("En Max:            ", en_max);
        text += summary.toLatin1();
    }
    return text;
}

bool Write_File(const QString &file_name, const QByteArray &text, QString *last_error)
{
    QUORVAL_ASSERT(last_error);
    SafeWrite::TCommit commit;
    if (!Prepare_File(&commit, file_name, text, last_error))
        return false;
    QString reason;
    if (!commit.Commit(nullptr, &reason)) {
        *last_error = Write_Error(reason);
        return false;
    }
    return true;
}

bool Prepare_File(SafeWrite::TCommit *commit, const QString &file_name, const QByteArray &text,
                  QString *last_error)
{
    QUORVAL_ASSERT(commit);
    QUORVAL_ASSERT(last_error);
    if (!Can_Open_For_Writing(file_name)) {
        *last_error = QStringLiteral("ERR  Cannot open file for writing.");
        return false;
    }
    QString reason;
    if (!commit->Prepare(file_name, text, &reason)) {
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
