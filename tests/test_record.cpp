// The comparison's record: its PDF read back with pdftotext and drawn with pdftoppm.

#include "src/compute/comparison.h"
#include "src/compute/comparisondocument.h"
#include "src/compute/datafile.h"
#include "src/compute/entrylists.h"
#include "src/compute/numbertext.h"
#include "src/compute/report.h"
#include "src/documents/comparisongraphs.h"
#include "src/documents/record.h"

#include "test_support.h"

#include <QImage>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <QtTest>

using namespace Support;

namespace {

// The gauge-block example with its settings (not aligned, every block a position), or 1,000
// positions 1 mm apart, aligned at B's offset 2.5, where set B's deviation jumps at every 97th
// and its entry at 500.25 has no position of its own.
TComparison Example(bool gauge_blocks, Record::THeading *heading)
{
    EntryLists::TInputs inputs;
    Type::TOptions options;
    if (gauge_blocks) {
        DataFile::TContent content;
        QString error;
        if (!DataFile::Load_File(QUORVAL_SOURCE_ROOT "examples/gauge_blocks.quorval", &content,
                                 &error))
            qFatal("%s", qPrintable(error));
        inputs = TComparisonDocument::Inputs_Of(content);
        options = DataFile::Options_Of(content, options);
        heading->data_file = "/lab/2024/gauge_blocks.quorval";
        heading->checksum = QString(64, QLatin1Char('e'));
        heading->details.item = "Gauge block set G-17, S/N 4711";
        heading->details.set_a_description = "Lab A \u2013 certificate 2024-17";
        heading->details.set_b_description = "Lab B";
        heading->details.remarks = "Block 60 mm re-measured.\n" + QString(400, QLatin1Char('w'));
        heading->details.record_number = "QR-17";
        heading->details.set_a_laboratory = "Lab A";
        heading->details.set_a_certificate = "2024-17";
        heading->details.set_a_dates = "2024-03-04";
        heading->details.set_b_laboratory = "Lab B";
        heading->details.set_b_certificate = "R-9";
        heading->details.set_b_dates = "2024-05-06 to 07";
        heading->laboratory = "Lab North\n1 Main St";
    } else {
        for (int i = 0; i < 1000; ++i) {
            inputs.entries_a.push_back(Entry(i, i + 0.0001 * (i % 7), 0.0005));
            const double nominal = i == 500 ? 500.25 : i;
            inputs.entries_b.push_back(
                Entry(nominal, nominal + 0.0001 * (i % 5) + (i % 97 == 0 ? 0.003 : 0.0), 0.0006));
        }
        inputs.offset_b = 2.5;
        // Given with five decimals: the heading shows every one.
        options.merge_distance = 0.99995;
        heading->data_file = "/lab/scale.quorval";
        heading->data_changed = true;
        heading->checksum = QString(64, QLatin1Char('f'));
        heading->details.operator_name = "J. Smith";
    }
    heading->merge_distance = options.merge_distance;
    heading->created = QDateTime(QDate(2024, 3, 5), QTime(14, 7));
    heading->aligned = options.remove_deviations;
    heading->entries_a = static_cast<int>(inputs.entries_a.size());
    heading->entries_b = static_cast<int>(inputs.entries_b.size());
    TComparison comparison;
    comparison.Calculate(inputs.entries_a, inputs.entries_b, inputs.offset_b, options);
    return comparison;
}

} // namespace

class TTestRecord : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir d_dir;

    QString Write_Record(const QString &name, const TComparison &comparison,
                         const Record::THeading &heading)
    {
        QByteArray pdf;
        QString error;
        const QString file = d_dir.filePath(name);
        return Record::Render_Pdf(comparison, heading, "test", &pdf, &error) && Write_All(file, pdf)
                   ? file
                   : error;
    }

private slots:
    void Paper()
    {
        QCOMPARE(Record::Paper_Of(216, 279), QPageSize::Letter);
        QCOMPARE(Record::Paper_Of(210, 297), QPageSize::A4);
        QCOMPARE(Record::Paper_Of(216, 356), QPageSize::A4); // Legal
    }

    void Pages_data()
    {
        QTest::addColumn<bool>("gauge_blocks");
        QTest::addColumn<QStringList>("heading_fields");
        // Lengths and uncertainties with the decimals the entries carry (4 to 9), En with four.
        QTest::addColumn<QString>("first_row");
        QTest::addColumn<QString>("merged");
        // What the heading must not say.
        QTest::addColumn<QStringList>("absent");
        // The method as the settings make it.
        QTest::addColumn<QString>("method");
        // The identification texts that are given, a long one over several lines; the checksum
        // only while the comparison is what the file holds.
        QTest::newRow("gauge blocks")
            << true
            << QStringList{"Item Gauge block set G-17, S/N 4711",
                           "Set A Lab A \u2013 certificate 2024-17",
                           "Set B Lab B",
                           "Remarks Block 60 mm re-measured.\n wwwwwwwwww",
                           "Data file /lab/2024/gauge_blocks.quorval",
                           "SHA-256 " + QString(64, QLatin1Char('e')),
                           "Created 2024-03-05 14:07",
                           "Alignment Not aligned Merge distance 0.0000 mm",
                           "Data B Pos Offset 0.0000 mm",
                           "Entries in set A 39 Entries in set B 39",
                           "Laboratory Lab North\n 1 Main St",
                           "Record number QR-17",
                           "Set A laboratory Lab A",
                           "Set A certificate 2024-17",
                           "Set A date 2024-03-04",
                           "Set B laboratory Lab B",
                           "Set B certificate R-9",
                           "Set B date 2024-05-06 to 07"}
            << "0.50000 0.00000 0.00000 0.00003 0.00003 0.00004 0.0000" << QString()
            << QStringList{"Operator", "changed"}
            << "Set B is not aligned to set A (offset of B 0.0000 mm). Both sets are interpolated "
               "linearly onto common positions, the nominal lengths of both sets, each set "
               "covering a position up to 10 mm beyond its first and last entry; only equal "
               "lengths share one position (every entry has a position of its own).";
        QTest::newRow("1000 positions")
            << false
            << QStringList{"Operator J. Smith",
                           "Data file /lab/scale.quorval (changed since last opened or saved)",
                           "Alignment Aligned Merge distance 0.99995 mm",
                           "Data B Pos Offset 2.5000 mm",
                           "Entries in set A 1000",
                           "Entries in set B 1000"}
            << "0.000000000 0.000000000 0.003250000 0.000500000 0.000500000 0.000600000 4.1612 En "
               "> 1"
            << QString("B 500.2500 \u2192 500.0000")
            << QStringList{"SHA-256", "Item",       "Remarks",   QString(64, QLatin1Char('f')),
                           "Record",  "Laboratory", "laboratory", "certificate"}
            << "Set B is aligned to set A: set A's deviation at B's offset (2.5000 mm), "
               "%1 mm, is added to set B's deviations, and set A's uncertainty is reduced by "
               "its change between 0 and B's offset. Both sets are interpolated linearly onto "
               "common positions, the nominal lengths of both sets, each set covering a position "
               "up to 10 mm beyond its first and last entry; lengths closer than 0.99995 mm share "
               "one position (1 entry has no position of its own).";
    }

    // Every page numbered, the table's rows exactly the report's with those where En > 1 marked
    // (the rest not), its column titles on every page it reaches, the heading, the summary, and
    // the graphs after it.
    void Pages()
    {
        QFETCH(bool, gauge_blocks);
        QFETCH(QStringList, heading_fields);
        QFETCH(QString, first_row);
        QFETCH(QString, merged);
        QFETCH(QStringList, absent);
        QFETCH(QString, method);
        Record::THeading heading;
        const TComparison comparison = Example(gauge_blocks, &heading);
        const std::vector<TComparison::TExportData> &rows = comparison.Export_Rows();
        const QString file =
            Write_Record(QTest::currentDataTag() + QString(".pdf"), comparison, heading);
        const QStringList pages = Pdf_Text(file).split('\f', Qt::SkipEmptyParts);
        // The gauge blocks: the table, its end with the summary and the method, then the graphs.
        QCOMPARE(pages.size() == 3, gauge_blocks);
        QVERIFY(pages.size() > 1);
        QStringList table;
        for (int i = 0; i < pages.size(); ++i) {
            // Every footer: the file, the program and its version, the page.
            QVERIFY(pages[i].contains(QRegularExpression(
                QString("%1 \u00b7 created 2024-03-05 14:07 +Quorval %2 +Page %3 of %4")
                    .arg(QFileInfo(heading.data_file).fileName(), QUORVAL_VERSION)
                    .arg(i + 1)
                    .arg(pages.size()))));
            // The record number heads every page, where there is one.
            QCOMPARE(pages[i].trimmed().startsWith("Record QR-17\n"), gauge_blocks);
            const QStringList page_rows = Record_Rows(pages[i]);
            QCOMPARE(pages[i].contains(QRegularExpression(
                         "Position +Dev. A +Dev. B +Uc A +Uc A Adj +Uc B +En +Note\n +\\(mm\\) +"
                         "\\(mm\\) +\\(mm\\) +\\(k=2\\) \\(mm\\) +\\(k=2\\) \\(mm\\) +\\(k=2\\) "
                         "\\(mm\\)\n")),
                     !page_rows.isEmpty());
            table += page_rows;
        }
        const QString first =
            pages[0].split('\n').replaceInStrings(QRegularExpression(" +"), " ").join('\n');
        QVERIFY(first.trimmed().remove(QRegularExpression("^Record QR-17\\s+")).startsWith(
            "Length Comparison\n"));
        heading_fields.append(QString("Data B Dev Offset %1 mm")
                                  .arg(NumberText::At_Resolution(comparison.Data_B_Dev_Offset(),
                                                                 comparison.Data_Decimals())));
        for (const QString &field : heading_fields)
            QVERIFY2(first.contains(field), qPrintable(field));
        const QString heading_text = first.left(first.indexOf("Position"));
        for (const QString &field : absent)
            QVERIFY2(!heading_text.contains(field), qPrintable(field));

        QCOMPARE(table.size(), int(rows.size()));
        QCOMPARE(table.first(), first_row);
        const Report::TDecimals decimals = Report::Document_Decimals(comparison.Data_Decimals());
        int marked = 0;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            QStringList fields;
            for (int column = 0; column < Report::Column_Count; ++column)
                fields.append(Report::Cell_Text(rows[i], column, decimals[column]));
            const bool disagrees = Report::Disagrees(rows[i]);
            marked += disagrees;
            QCOMPARE(table[int(i)], fields.join(' ') + (disagrees ? " En > 1" : ""));
        }
        const Report::TSummary summary = Report::Summarise(rows);
        QVERIFY(marked > 0);
        const QString all = pages.join(' ').simplified();
        QVERIFY(all.contains(
            QString("En Avg %1 En Max %2 at %3 mm Positions with En > 1 %4, "
                    "marked in the table")
                .arg(NumberText::Fixed(summary.en_mean, 4), NumberText::Fixed(summary.en_max, 4),
                     NumberText::Fixed(summary.en_max_position, comparison.Data_Decimals()))
                .arg(marked)));
        QVERIFY2(all.contains(QString("Verdict The results do not agree: En > 1 at %1 of %2 "
                                      "positions with an En value.")
                                  .arg(marked)
                                  .arg(summary.en_count)),
                 qPrintable(all));
        method = method.arg(NumberText::Readable(comparison.Data_B_Dev_Offset()));
        QVERIFY2(all.contains(method), qPrintable(all.mid(all.indexOf("Method"), 900)));
        QVERIFY(all.contains("En = |devA \u2212 devB| / \u221a(UA\u00b2 + UB\u00b2), with UA and "
                             "UB the expanded uncertainties (k = 2) at the position. Decision "
                             "rule: En \u2264 1: agreement; En > 1: the difference is not covered "
                             "by the uncertainties. The results relate only to the item compared."));
        QVERIFY(all.indexOf("En Score") > all.indexOf("Positions with En > 1"));
        // The graphs' legend and axis titles with units.
        for (const char *text : {"Set A", "Set B", "En = 1", "Length (mm)", "Deviation (mm)"})
            QVERIFY2(pages.last().contains(text), text);
        QCOMPARE(pages.last().contains("A before alignment"), heading.aligned);
        QCOMPARE(pages.last().contains("Set B: Lab B"),
                 !heading.details.set_b_description.isEmpty());
        // The reviewer's lines close the record.
        QVERIFY(all.indexOf("Review Checked by Date Signature") > all.indexOf("En Score"));
        // The entries without a position of their own, listed after the summary.
        const QString list_title = "Entries without a position of their own";
        QCOMPARE(all.contains(list_title + " " + merged), !merged.isEmpty());
        QCOMPARE(all.contains(list_title), !merged.isEmpty());
    }

    // The documents' graphs tell the sets apart without colour (marker and dash pattern) and in
    // grey (lightness); the legend names the descriptions and, when aligned, A before alignment.
    void Graph_Legend_Tells_The_Sets_Apart()
    {
        ComparisonGraphs::TLegendTexts texts;
        texts.set_a_description = "PTB, certificate 12";
        const auto items = ComparisonGraphs::Legend_Items(ComparisonGraphs::Document_Look, texts);
        QStringList shown;
        for (const TLegendItem &item : items)
            shown << item.text;
        QCOMPARE(shown, QStringList({"Set A: PTB, certificate 12", "Set B", "A before alignment",
                                     "En", "En = 1"}));
        const TCurveStyle &a = items[0].curve;
        const TCurveStyle &b = items[1].curve;
        QVERIFY(a.marker != b.marker && a.line != b.line);
        QVERIFY(std::abs(qGray(a.colour.rgb()) - qGray(b.colour.rgb())) >= 60);
        QVERIFY(items[4].curve.line != Qt::SolidLine);
        texts.aligned = false;
        QCOMPARE(ComparisonGraphs::Legend_Items(ComparisonGraphs::Window_Look, texts).size(),
                 std::size_t(4));
    }

    void En_Range_Holds_The_Limit_data()
    {
        QTest::addColumn<QVector<double>>("en");
        QTest::newRow("none") << QVector<double>();
        QTest::newRow("all below") << QVector<double>{0.0, 0.2, 0.4};
        QTest::newRow("exactly one") << QVector<double>{0.5, 1.0};
        QTest::newRow("zero uncertainty") << QVector<double>{0.3, 1000.0};
        QTest::newRow("not finite") << QVector<double>{qInf(), 2.0};
        QTest::newRow("largest double") << QVector<double>{0.3, 1.7e308};
    }

    // The line En = 1 and the value 0 inside the plot, clear of both edges.
    void En_Range_Holds_The_Limit()
    {
        QFETCH(QVector<double>, en);
        std::vector<TVector2> curve;
        for (const double value : en)
            curve.emplace_back(curve.size(), value);
        const std::pair<double, double> range = ComparisonGraphs::En_Range(curve);
        const double extent = range.second - range.first;
        QVERIFY(std::isfinite(extent) && extent > 0.0);
        QVERIFY((0.0 - range.first) / extent >= 0.05);
        QVERIFY((range.second - 1.0) / extent >= 0.05);
        for (const double value : en)
            QVERIFY(!(value < 1e300) || value < range.second);
    }

    // Over its row limit the table holds the rows with En > 1 and the largest En besides, in
    // position order, and says how to get the whole table; under it, every row (Pages).
    void Row_Limit()
    {
        Record::THeading heading;
        const TComparison comparison = Example(false, &heading);
        const std::vector<TComparison::TExportData> &rows = comparison.Export_Rows();
        const int above_one = Report::Summarise(rows).above_one;
        QVERIFY(above_one > 10 && above_one + Record::Largest_Rows < 500);
        std::vector<double> en;
        for (const TComparison::TExportData &row : rows)
            en.push_back(row.Has_En() ? row.en_value : -1.0);
        std::sort(en.begin(), en.end(), std::greater<double>());
        for (const int limit : {10, 500}) {
            heading.row_limit = limit;
            const QString text = Pdf_Text(Write_Record("limit.pdf", comparison, heading));
            const QStringList table = Record_Rows(text);
            const int shown = std::min(limit, above_one + Record::Largest_Rows);
            QCOMPARE(table.size(), shown);
            QCOMPARE(table.filter(QRegularExpression(" En > 1$")).size(), std::min(limit, above_one));
            double last = -1.0;
            for (const QString &row : table) {
                const QStringList fields = row.split(' ');
                QVERIFY(fields[0].toDouble() > last);
                last = fields[0].toDouble();
                // None left out has a larger En than one shown.
                QVERIFY(fields[6].toDouble() >= en[static_cast<std::size_t>(shown) - 1] - 5e-5);
            }
            QVERIFY2(text.simplified().contains(
                         QString("The whole table has %1 rows, more than the %2 of a record")
                             .arg(rows.size())
                             .arg(limit)),
                     qPrintable(text.left(3000)));
            // Named by its file and checksum while the comparison is what the file holds (a
            // line may break within the file's name).
            QVERIFY(text.simplified().remove(' ').contains(
                QString(heading.data_changed
                            ? "The whole table: quorval-report FILE --csv TABLE.csv, once the "
                              "data is saved as FILE."
                            : "The whole table: quorval-report /lab/scale.quorval --csv "
                              "TABLE.csv, for the data file of SHA-256 " +
                                  heading.checksum + ".")
                    .remove(' ')));
            heading.data_changed = false;
        }
    }

    // Paper too small for a single row, as a print dialog may set up: one row a page, all there.
    void Small_Paper()
    {
        Record::THeading heading;
        const TComparison comparison = Example(true, &heading);
        const QString file = d_dir.filePath("strip.pdf");
        QPdfWriter writer(file);
        writer.setResolution(300);
        writer.setPageLayout(QPageLayout(QPageSize(QSizeF(100, 15), QPageSize::Millimeter),
                                         QPageLayout::Portrait, QMarginsF(2, 2, 2, 2)));
        const int pages = Record::Paint(&writer, comparison, heading);
        QVERIFY(pages > int(comparison.Export_Rows().size()));
        QCOMPARE(Pdf_Text(file).count('\f'), pages);
        QCOMPARE(Record_Rows(Pdf_Text(file)).size(), int(comparison.Export_Rows().size()));
    }

    // Finite inputs whose deviations overflow: "------" wherever a number is not finite, in the
    // heading (set A's deviation at B's offset), the table and the summary.
    void No_Number_That_Is_Not_Finite()
    {
        // Deviations of opposite signs near the largest double: their difference overflows.
        const std::vector<Type::TEntryItem> a = {Entry(0, -1e308, 1.0), Entry(1, 1e308, 1.0)};
        const std::vector<Type::TEntryItem> b = {Entry(1, -1e308, 1.0), Entry(0, 1e308, 1.0)};
        TComparison comparison;
        QVERIFY(comparison.Calculate(a, b, 5.0, Type::TOptions()));
        QVERIFY(!std::isfinite(comparison.Data_B_Dev_Offset()));
        Record::THeading heading;
        const QString text = Pdf_Text(Write_Record("huge.pdf", comparison, heading));
        QVERIFY2(!text.contains("inf") && !text.contains("nan"), qPrintable(text));
        QVERIFY2(text.simplified().contains("Data B Dev Offset ------ mm"), qPrintable(text));
        // The summary says why there is no En value: not that the sets do not overlap.
        QVERIFY2(text.simplified().contains("are covered by both sets, but their values are too "
                                            "large to compute with"),
                 qPrintable(text));
    }

    // A4 in the C locale the tests run in; the marked row's band shows in colour and, printed in
    // grey, darker than the paper.
    void Paper_And_Marking()
    {
        Record::THeading heading;
        const TComparison comparison = Example(true, &heading);
        // A short heading: the marked row stands on the first page.
        heading.details = Type::TDetails();
        heading.laboratory.clear();
        const QString file = Write_Record("marking.pdf", comparison, heading);
        QProcess info;
        info.start("pdfinfo", {file});
        QVERIFY(info.waitForFinished(60000));
        QVERIFY(info.readAllStandardOutput().contains(" pts (A4)\n"));
        for (const QString &colours : QStringList{"-png", "-gray"}) {
            const QString image_file = d_dir.filePath("page" + colours);
            QCOMPARE(QProcess::execute("pdftoppm", {"-r", "50", colours, "-singlefile", "-l", "1",
                                                    file, image_file}),
                     0);
            const QImage page(image_file + (colours == "-png" ? ".png" : ".pgm"));
            int band = 0; // pixels of one row: most of the page's width, a few pixels high
            for (int y = 0; y < page.height(); ++y)
                for (int x = 0; x < page.width(); ++x) {
                    const QRgb pixel = page.pixel(x, y);
                    band += colours == "-gray" ? qGray(pixel) > 200 && qGray(pixel) < 240
                                               : qRed(pixel) == 255 && qGreen(pixel) == 214;
                }
            QVERIFY2(band > 600, qPrintable(QString::number(band)));
        }
    }
};

QTEST_MAIN(TTestRecord)
#include "test_record.moc"
