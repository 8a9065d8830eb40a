#include "src/report.h"

#include "core/assertion.h"
#include "core/safewrite.h"
#include "src/entrylists.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <unistd.h>

namespace {

const char Title[] = "Comparison Data\n\n";
const char Header[] =
    "Position       Dev. A     Dev. B      Uc A      Uc A Adj    Uc B        En\n";
const char Filler[] = "     ------";

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
    const auto Append_Value = [&text](bool valid, const double &value) {
        if (valid) {
            text += ' ';
            EntryLists::Append_Fixed_Text(&text, value, 10);
        } else {
            text += Filler;
        }
    };
    for (const TComparison::TExportData &row : rows) {
        EntryLists::Append_Fixed_Text(&text, row.position, 10);
        text += ' ';
        Append_Value(row.dev_a_valid, row.dev_a);
        Append_Value(row.dev_b_valid, row.dev_b);
        Append_Value(row.uc_a_valid, row.uc_a);
        Append_Value(row.uc_a_valid, row.uc_a_adj);
        Append_Value(row.uc_b_valid, row.uc_b);
        const bool has_en = row.uc_a_valid && row.uc_b_valid;
        Append_Value(has_en, row.en_value);
        if (has_en) {
            en_sum += row.en_value;
            ++en_count;
            en_max = std::max(en_max, row.en_value);
        }
        text += '\n';
    }

    // Without any En value there is nothing to summarise, not even the offsets.
    if (en_count > 0) {
        QString summary = QStringLiteral("\n\n");
        summary += Summary_Line("Data B Pos Offset: ", offset_b);
        summary += Summary_Line("Data B Dev Offset: ", dev_offset_b);
        summary += Summary_Line("En Avg:            ", en_sum / en_count);
        summary += Summary_Line("En Max:            ", en_max);
        text += summary.toLatin1();
    }
    return text;
}

bool Write_File(const QString &file_name, const QByteArray &text, QString *last_error)
{
    QUORVAL_ASSERT(last_error);
    if (!Can_Open_For_Writing(file_name)) {
        *last_error = QStringLiteral("ERR  Cannot open file for writing.");
        return false;
    }
    QString reason;
    if (!SafeWrite::Write_File(file_name, text, &reason)) {
        *last_error = QStringLiteral("ERR  Cannot write file: %1").arg(reason);
        return false;
    }
    return true;
}

} // namespace Report
