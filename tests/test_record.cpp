// The comparison's record: its PDF read back with pdftotext and drawn with pdftoppm.

#include "src/comparison.h"
#include "src/datafile.h"
#include "src/entrylists.h"
#include "src/record.h"
#include "src/report.h"

#include "test_support.h"

#include <QImage>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <QtTest>

using namespace Support;

namespace {

const QDateTime Printed(QDate(2024, 3, 5), QTime(14, 7));

// The comparison of the gauge-block example, not aligned (independent blocks).
TComparison Gauge_Blocks(Record::THeading *heading)
{
    DataFile::TContent content;
    QString error;
    if (!DataFile::Load_File(QUORVAL_SOURCE_ROOT "examples/gauge_blocks.quorval", &content, &error))
        qFatal("%s", qPrintable(error));
    const EntryLists::TInputs inputs = EntryLists::Inputs_Of(DataFile::Lists_Of(content));
    TComparison comparison;
    comparison.Calculate(inputs.entries_a, inputs.entries_b, inputs.offset_b,
                         Type::TOptions{false});
    heading->data_file = "/lab/2024/gauge_blocks.quorval";
    heading->aligned = false;
    heading->entries_a = static_cast<int>(inputs.entries_a.size());
    heading->entries_b = static_cast<int>(inputs.entries_b.size());
    return comparison;
}

// 1,000 positions 1 mm apart; set B's deviation jumps at every 97th, where the sets disagree.
// Aligned at B's offset 2.5.
TComparison Thousand_Positions(Record::THeading *heading)
{
    std::vector<Type::TEntryItem> a, b;
    for (int i = 0; i < 1000; ++i) {
        a.push_back(Entry(i, i + 0.0001 * (i % 7), 0.0005));
        b.push_back(Entry(i, i + 0.0001 * (i % 5) + (i % 97 == 0 ? 0.003 : 0.0), 0.0006));
    }
    TComparison comparison;
    comparison.Calculate(a, b, 2.5, Type::TOptions{true});
    heading->offset_b = 2.5;
    heading->entries_a = heading->entries_b = 1000;
    return comparison;
}

} // namespace

class TestRecord : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir d_dir;

private slots:
    void Paper_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("paper");
        QTest::newRow("Letter") << 216 << 279 << int(QPageSize::Letter);
        QTest::newRow("A4") << 210 << 297 << int(QPageSize::A4);
        QTest::newRow("Legal") << 216 << 356 << int(QPageSize::A4);
        QTest::newRow("none") << 0 << 0 << int(QPageSize::A4);
    }

    void Paper()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, paper);
        QCOMPARE(int(Record::Paper_Of(width, height)), paper);
    }

    void Pages_data()
    {
        QTest::addColumn<bool>("gauge_blocks");
        QTest::addColumn<QStringList>("heading_fields");
        QTest::newRow("gauge blocks") << true
                                      << QStringList{"Data file /lab/2024/gauge_blocks.quorval",
                                                     "Printed 2024-03-05 14:07",
                                                     "Alignment Not aligned",
                                                     "Data B Pos Offset 0.0000 mm",
                                                     "Entries in set A 39",
                                                     "Entries in set B 39"};
        QTest::newRow("1000 positions")
            << false
            << QStringList{"Data file not saved", "Alignment Aligned",
                           "Data B Pos Offset 2.5000 mm", "Entries in set A 1000",
                           "Entries in set B 1000"};
    }

    // Every page numbered, the table's rows exactly the report's with those where En > 1 marked
    // (the rest not), its column titles on every page it reaches, the heading and the summary.
    void Pages()
    {
        QFETCH(bool, gauge_blocks);
        QFETCH(QStringList, heading_fields);
        Record::THeading heading;
        heading.printed = Printed;
        const TComparison comparison =
            gauge_blocks ? Gauge_Blocks(&heading) : Thousand_Positions(&heading);
        const std::vector<TComparison::TExportData> &rows = comparison.Export_Rows();
        QByteArray pdf;
        QString error;
        QVERIFY(Record::Render_Pdf(comparison, heading, "test", &pdf, &error));
        const QString file = d_dir.filePath(QTest::currentDataTag() + QString(".pdf"));
        QVERIFY(Write_All(file, pdf));

        const QStringList pages = Pdf_Text(file).split('\f', Qt::SkipEmptyParts);
        QVERIFY(pages.size() > (gauge_blocks ? 1 : 12));
        if (gauge_blocks)
            QCOMPARE(pages.size(), 2); // the table and summary, then the graphs
        QStringList table;
        for (int i = 0; i < pages.size(); ++i) {
            QVERIFY2(pages[i].contains(QString("Page %1 of %2").arg(i + 1).arg(pages.size())),
                     qPrintable(pages[i]));
            const QStringList page_rows = Record_Rows(pages[i]);
            QCOMPARE(pages[i].contains(
                         QRegularExpression("Position +Dev. A +Dev. B +Uc A +Uc A Adj +Uc B +En")),
                     !page_rows.isEmpty());
            table += page_rows;
        }
        const QString first =
            pages[0].split('\n').replaceInStrings(QRegularExpression(" +"), " ").join('\n');
        QVERIFY(first.startsWith("Length comparison\n"));
        heading_fields.append(QString("Data B Dev Offset %1 mm")
                                  .arg(Report::Number_Text(comparison.Data_B_Dev_Offset())));
        for (const QString &field : heading_fields)
            QVERIFY2(first.contains(field), qPrintable(field));

        QCOMPARE(table.size(), int(rows.size()));
        int marked = 0;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            QStringList fields;
            for (const QString &field : Report::Row_Fields(rows[i]))
                fields.append(field.trimmed());
            const bool disagrees = Report::Disagrees(rows[i]);
            marked += disagrees;
            QCOMPARE(table[int(i)], fields.join(' ') + (disagrees ? " En > 1" : ""));
        }
        const Report::TSummary summary = Report::Summarise(rows);
        QCOMPARE(marked, summary.above_one);
        QVERIFY(marked > 0);
        const QString last = pages.join(' ').simplified();
        QVERIFY(last.contains(QString("En mean %1 Largest En %2 at %3 mm Positions with En > 1 %4, "
                                      "marked in the table")
                                  .arg(Report::Number_Text(summary.en_mean),
                                       Report::Number_Text(summary.en_max),
                                       Report::Number_Text(summary.en_max_position))
                                  .arg(summary.above_one)));
        // The graphs follow the summary.
        QVERIFY(last.indexOf("Length Comparison") > last.indexOf("Positions with En > 1"));
        QVERIFY(last.indexOf("En Score") > last.indexOf("Length Comparison"));
    }

    // Whatever paper the print dialog sets up, every row is printed once; on paper too small for
    // a single row, one a page.
    void Any_Paper_data()
    {
        QTest::addColumn<QSizeF>("paper"); // mm
        QTest::newRow("A3 landscape") << QSizeF(420, 297);
        QTest::newRow("a strip too small for a row") << QSizeF(100, 15);
    }

    void Any_Paper()
    {
        QFETCH(QSizeF, paper);
        Record::THeading heading;
        const TComparison comparison = Gauge_Blocks(&heading);
        const QString file = d_dir.filePath(QTest::currentDataTag() + QString(".pdf"));
        QPdfWriter writer(file);
        writer.setResolution(300);
        writer.setPageLayout(QPageLayout(QPageSize(paper, QPageSize::Millimeter),
                                         QPageLayout::Portrait, QMarginsF(2, 2, 2, 2)));
        const int pages = Record::Paint(&writer, comparison, heading);
        QVERIFY(pages > 0);
        QCOMPARE(Pdf_Text(file).count('\f'), pages);
        QCOMPARE(Record_Rows(Pdf_Text(file)).size(), int(comparison.Export_Rows().size()));
    }

    // On the locale's paper (A4 in the C locale the tests run in); the marked row's band shows
    // in colour and, printed in grey, darker than the paper.
    void Paper_And_Marking()
    {
        Record::THeading heading;
        QByteArray pdf;
        QString error;
        QVERIFY(Record::Render_Pdf(Gauge_Blocks(&heading), heading, "test", &pdf, &error));
        const QString file = d_dir.filePath("marking.pdf");
        QVERIFY(Write_All(file, pdf));
        QProcess info;
        info.start("pdfinfo", {file});
        QVERIFY(info.waitForFinished(60000));
        QVERIFY(info.readAllStandardOutput().contains(" pts (A4)\n"));

        for (const bool gray : {false, true}) {
            const QString stem = d_dir.filePath(gray ? "gray" : "colour");
            QStringList arguments = {"-r", "50", "-png", "-singlefile", "-f", "1", "-l", "1"};
            if (gray)
                arguments.append("-gray");
            QCOMPARE(QProcess::execute("pdftoppm", arguments + QStringList{file, stem}), 0);
            const QImage page(stem + ".png");
            QVERIFY(!page.isNull());
            int band = 0;
            for (int y = 0; y < page.height(); ++y)
                for (int x = 0; x < page.width(); ++x) {
                    const QRgb pixel = page.pixel(x, y);
                    band += gray ? qGray(pixel) > 200 && qGray(pixel) < 240
                                 : qRed(pixel) == 255 && qGreen(pixel) == 214;
                }
            // One row: most of the page's width, a few pixels high.
            QVERIFY2(band > 600, qPrintable(QString::number(band)));
        }
    }
};

QTEST_MAIN(TestRecord)
#include "test_record.moc"
