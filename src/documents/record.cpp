#include "src/documents/record.h"

#include "core/base/assertion.h"
#include "src/compute/comparison.h"
#include "src/compute/details.h"
#include "src/compute/numbertext.h"
#include "src/compute/report.h"
#include "src/compute/settings.h"
#include "src/documents/comparisongraphs.h"

#include <QBuffer>
#include <QColor>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>
#include <QLocale>
#include <QMarginsF>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QRectF>
#include <QStringList>
#include <QTextLayout>
#include <QTextOption>

#include <algorithm>
#include <array>
#include <vector>

#if defined(__GLIBC__)
#include <langinfo.h>
#endif

namespace Record {

const int Resolution = 96;

namespace {

const char *const Title = "Length Comparison";
const char *const Unsaved = "not saved";
const char *const Program = "Quorval " QUORVAL_VERSION;
const char *const Time_Format = "yyyy-MM-dd HH:mm";
// The lines a reviewer fills in by hand.
const std::array<const char *, 3> Closing_Lines = {"Checked by", "Date", "Signature"};
const char *const Marker = "En > 1";
const char *const Font_Family = "DejaVu Sans";

// A row where the sets disagree stands out in colour and, printed in black and white, by its bold
// text, its grey band and the marker.
const QColor Marked_Band(255, 214, 214);
const QColor Marked_Text(150, 0, 0);
const QColor Label_Colour(80, 80, 80);
const QColor Rule_Colour(140, 140, 140);
const QColor Row_Rule_Colour(225, 225, 225);

// Printers print at least this far from the paper's edges.
constexpr double Margin_Mm = 15.0;
// The report's seven columns and the marker column.
constexpr int Columns = 8;
constexpr int Marker_Column = 7;

// Fonts and distances in the device's units.
struct TStyle
{
    explicit TStyle(QPaintDevice *device)
        : mm(device->logicalDpiY() / 25.4), title(Font(15.0, true)), text(Font(9.0, false)),
          bold(Font(9.0, true)), table(Font(8.0, false)), table_bold(Font(8.0, true)),
          footer(Font(7.0, false))
    {
        line = QFontMetricsF(text, device).lineSpacing() * 1.3;
        row = QFontMetricsF(table, device).lineSpacing() * 1.35;
        footer_height = QFontMetricsF(footer, device).lineSpacing() + 3.0 * mm;
    }

    static QFont Font(double points, bool bold)
    {
        QFont font(Font_Family);
        font.setPointSizeF(points);
        font.setBold(bold);
        // Without ligatures "file" and "Offset" are searched and copied from the PDF as spelt.
        font.setStyleStrategy(QFont::PreferNoShaping);
        return font;
    }

    double mm;
    QFont title, text, bold, table, table_bold, footer;
    double line;          // a line of the heading and the summary
    double row;           // a table row
    double footer_height; // the page number's line and the space above it
};

// A run of lines of a list that may go over several pages: its part on one page.
struct TLines
{
    double top = -1.0; // none on the page when negative
    bool title = false;
    int first = 0;
    int count = 0;
};

// One line of the heading: a label and its value across the page, or two such pairs side by
// side. A value too long for its line goes on under an empty label.
struct THeading_Line
{
    QString label, value;
    QString right_label, right_value; // empty: the line goes across the page
};

struct TPage
{
    TLines heading;
    TLines excerpt; // over the row limit: which rows the table shows
    TLines method;  // the method and the decision rule
    double table_top = -1.0; // no table on the page when negative
    int first_row = 0;
    int rows = 0;
    double summary_top = -1.0; // no summary on the page when negative
    TLines merged;             // the entries without a position of their own
    QRectF graphs;             // empty: no graphs on the page
    double closing_top = -1.0; // no closing block on the page when negative
};

// Where everything goes, worked out before the first page is painted so that every page can
// say how many there are.
struct TLayout
{
    QRectF body; // a page's area above its footer
    std::vector<THeading_Line> heading_lines;
    double label_width = 0.0;   // of the heading's labels
    double header_height = 0.0; // the table's column titles
    int header_lines = 2;       // one on paper too small for two and a row
    double summary_height = 0.0;
    std::array<double, Columns> left{};
    std::array<double, Columns> width{};
    std::array<bool, Columns> fits{}; // every text of the column fits its width
    Report::TDecimals decimals{};     // of the table's columns
    // The table's rows: the comparison's, or over the row limit those of excerpt.
    const std::vector<TComparison::TExportData> *rows = nullptr;
    std::vector<TComparison::TExportData> excerpt;
    QStringList excerpt_lines;
    QStringList method_lines;
    QStringList merged_lines; // the entries without a position of their own
    double header_top = 0.0;  // the record number's line at the top of every page
    std::vector<TPage> pages;
};

// The table's column titles on two lines: line 0 the quantity, line 1 its unit and, for the
// uncertainties, their coverage factor; the report's columns, then the note.
QString Label_Of(int column, int line)
{
    if (column == Marker_Column)
        return line == 0 ? QStringLiteral("Note") : QString();
    const Report::TColumn &title = Report::Columns[static_cast<std::size_t>(column)];
    return QLatin1String(line == 0 ? title.title : title.unit);
}

// The table's columns: each as wide as its widest text, widened in proportion to fill the page's
// width.
void Lay_Out_Columns(const TStyle &style, QPaintDevice *device,
                     const std::vector<TComparison::TExportData> &rows, TLayout *layout)
{
    // A field is a number of digits, a point and maybe a sign, or the filler: the most characters
    // give the widest number, measured as that many digits in bold.
    std::array<int, Columns> longest{};
    for (const TComparison::TExportData &row : rows)
        for (int column = 0; column < Marker_Column; ++column)
            longest[column] = std::max(
                longest[column], Report::Cell_Text(row, column, layout->decimals[column]).size());
    const QFontMetricsF metrics(style.table_bold, device);
    const double padding = 2.0 * style.mm;
    const QString filler = QLatin1String(NumberText::Not_A_Number);
    std::array<double, Columns> natural{};
    double total = 0.0;
    for (int column = 0; column < Columns; ++column) {
        const QString widest =
            column == Marker_Column
                ? QLatin1String(Marker)
                : QString(std::max(0, longest[column] - 1), QLatin1Char('0')) + QLatin1Char('.');
        natural[column] =
            std::max({metrics.horizontalAdvance(widest), metrics.horizontalAdvance(filler),
                      metrics.horizontalAdvance(Label_Of(column, 0)),
                      metrics.horizontalAdvance(Label_Of(column, 1))}) +
            padding;
        total += natural[column];
    }
    // Too wide for the page: the narrow columns keep their widths and the widest share what is
    // left, each getting at most cap.
    const double available = layout->body.width();
    const double scale = std::max(1.0, available / total);
    double cap = available;
    if (total > available) {
        std::array<double, Columns> ascending = natural;
        std::sort(ascending.begin(), ascending.end());
        double rest = available;
        for (int i = 0; i < Columns; ++i) {
            cap = rest / (Columns - i);
            if (ascending[i] > cap)
                break;
            rest -= ascending[i];
        }
    }
    double left = layout->body.left();
    for (int column = 0; column < Columns; ++column) {
        layout->left[column] = left;
        layout->width[column] = std::min(natural[column] * scale, cap);
        layout->fits[column] = natural[column] <= cap;
        left += layout->width[column];
    }
}

// The merged entries, as many on a line as the width holds.
QStringList Merged_Lines(const TStyle &style, QPaintDevice *device,
                         const std::vector<TComparison::TMerged_Entry> &merged, double width)
{
    const QFontMetricsF metrics(style.text, device);
    QStringList lines;
    QString line;
    for (std::size_t i = 0; i < merged.size(); ++i) {
        const QString entry =
            Report::Merged_Entry_Text(merged[i]) + (i + 1 < merged.size() ? "," : "");
        const QString longer = line.isEmpty() ? entry : line + QLatin1Char(' ') + entry;
        if (!line.isEmpty() && metrics.horizontalAdvance(longer) > width) {
            lines.append(line);
            line = entry;
        } else {
            line = longer;
        }
    }
    if (!line.isEmpty())
        lines.append(line);
    return lines;
}

// The table's rows from y on, its column titles repeated on every page it reaches; returns
// where it ends.
double Lay_Out_Table(const TStyle &style, int row_count, double y, TLayout *layout)
{
    const double top = layout->body.top();
    const double bottom = layout->body.bottom();
    int row = 0;
    do {
        if (y + layout->header_height + style.row > bottom) {
            layout->pages.emplace_back();
            y = top;
        }
        TPage &page = layout->pages.back();
        page.table_top = y;
        page.first_row = row;
        // A paper too small for a single row still gets one a page, running over its edge.
        const int room =
            std::max(1, static_cast<int>((bottom - y - layout->header_height) / style.row));
        page.rows = std::min(room, row_count - row);
        row += page.rows;
        y += layout->header_height + page.rows * style.row;
        if (row < row_count) {
            layout->pages.emplace_back();
            y = top;
        }
    } while (row < row_count);
    return y;
}

// A list of line_count lines from y on, the first under a head that high (its title), over as
// many pages as it needs; returns where it ends. lines names the list's part of a page.
double Lay_Out_Lines(const TStyle &style, int line_count, double head, double y,
                     TLines TPage::*lines, TLayout *layout)
{
    const double top = layout->body.top();
    const double bottom = layout->body.bottom();
    for (int line = 0; line < line_count;) {
        const bool title = line == 0;
        const double above = title ? head : 0.0;
        if (y + above + style.line > bottom) {
            layout->pages.emplace_back();
            y = top;
        }
        TLines &part = layout->pages.back().*lines;
        part.top = y;
        part.title = title;
        part.first = line;
        // A paper too small for a single line still gets one a page, running over its edge.
        part.count = std::min(line_count - line,
                              std::max(1, static_cast<int>((bottom - y - above) / style.line)));
        line += part.count;
        y += above + part.count * style.line;
        if (line < line_count) {
            layout->pages.emplace_back();
            y = top;
        }
    }
    return y;
}

// The text in lines no wider than width: at its line breaks, and between words (within a word
// where one is wider).
QStringList Wrapped(const QString &text, const QFont &font, QPaintDevice *device, double width)
{
    QStringList lines;
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    for (const QString &paragraph : text.split(QLatin1Char('\n'))) {
        if (paragraph.isEmpty()) {
            lines.append(QString());
            continue;
        }
        QTextLayout layout(paragraph, font, device);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            lines.append(paragraph.mid(line.textStart(), line.textLength()).trimmed());
        }
        layout.endLayout();
    }
    return lines;
}

// A setting as it was given, every digit of it (at least four decimals); beyond the room of the
// heading's column, readable as the table's numbers.
QString Setting_Text(const double &value)
{
    return std::isfinite(value) && std::fabs(value) < 1e9 ? NumberText::Shortest_Fixed(value, 4)
                                                          : NumberText::Readable(value);
}

QString Created_Text(const THeading &heading)
{
    return heading.created.toString(QLatin1String(Time_Format));
}

// The heading's lines: the identification texts that are given, the data file with its checksum
// while the comparison is what the file holds, when the record was made, then the comparison's
// settings, offsets and counts two to a line.
std::vector<THeading_Line> Heading_Lines(const TStyle &style, QPaintDevice *device,
                                         const TComparison &comparison, const THeading &heading,
                                         double label_width, double width)
{
    std::vector<THeading_Line> lines;
    const auto Add = [&](const QString &label, const QString &value) {
        const QStringList parts = Wrapped(value, style.text, device, width - label_width);
        for (int i = 0; i < parts.size(); ++i)
            lines.push_back({i == 0 ? label : QString(), parts[i], QString(), QString()});
    };
    if (!heading.laboratory.isEmpty())
        Add(QStringLiteral("Laboratory"), heading.laboratory);
    for (const int i : Details::Shown_Order) {
        const QString &text = Details::Field(heading.details, i);
        if (!text.isEmpty())
            Add(QLatin1String(Details::Labels[i]), text);
    }
    const bool saved = !heading.data_file.isEmpty();
    Add(QStringLiteral("Data file"),
        !saved ? QLatin1String(Unsaved)
               : heading.data_file + (heading.data_changed
                                          ? QStringLiteral(" (%1)").arg(heading.changed_text)
                                          : QString()));
    if (saved && !heading.data_changed && !heading.checksum.isEmpty())
        Add(QStringLiteral("SHA-256"), heading.checksum);
    Add(QStringLiteral("Created"), Created_Text(heading));
    lines.push_back({QStringLiteral("Alignment"),
                     heading.aligned ? QStringLiteral("Aligned") : QStringLiteral("Not aligned"),
                     QStringLiteral("Merge distance"),
                     Setting_Text(heading.merge_distance) + QStringLiteral(" mm")});
    lines.push_back(
        {QStringLiteral("Data B Pos Offset"),
         Setting_Text(comparison.Offset_B()) + QStringLiteral(" mm"),
         QStringLiteral("Data B Dev Offset"),
         NumberText::At_Resolution(comparison.Data_B_Dev_Offset(), comparison.Data_Decimals()) +
             QStringLiteral(" mm")});
    lines.push_back({QStringLiteral("Entries in set A"), QString::number(heading.entries_a),
                     QStringLiteral("Entries in set B"), QString::number(heading.entries_b)});
    return lines;
}

// What was computed and how the results are judged, from the settings the comparison used.
QString Method_Text(const TComparison &comparison, const THeading &heading)
{
    QStringList parts;
    parts << QStringLiteral("The deviation of each entry is its actual length less its nominal "
                            "length.");
    if (heading.aligned)
        parts << QStringLiteral("Set B is aligned to set A: set A's deviation at B's offset "
                                "(%1 mm), %2 mm, is added to set B's deviations, and set A's "
                                "uncertainty is reduced by its change between 0 and B's offset.")
                     .arg(Setting_Text(comparison.Offset_B()),
                          NumberText::Readable(comparison.Data_B_Dev_Offset()));
    else
        parts << QStringLiteral("Set B is not aligned to set A (offset of B %1 mm).")
                     .arg(Setting_Text(comparison.Offset_B()));
    const std::size_t merged = comparison.Merged_Entries().size();
    parts << QStringLiteral("Both sets are interpolated linearly onto common positions, the "
                            "nominal lengths of both sets, each set covering a position up to "
                            "10 mm beyond its first and last entry; %1 (%2).")
                 .arg(heading.merge_distance > 0.0
                          ? QStringLiteral("lengths closer than %1 mm share one position")
                                .arg(Setting_Text(heading.merge_distance))
                          : QStringLiteral("only equal lengths share one position"),
                      merged == 0 ? QStringLiteral("every entry has a position of its own")
                      : merged == 1
                          ? QStringLiteral("1 entry has no position of its own")
                          : QStringLiteral("%1 entries have no position of their own").arg(merged));
    parts << QStringLiteral("En = |devA \u2212 devB| / \u221a(UA\u00b2 + UB\u00b2), with UA and "
                            "UB the expanded uncertainties (k = 2) at the position.");
    return parts.join(QLatin1Char(' ')) +
           QStringLiteral("\nDecision rule: En \u2264 1: agreement; En > 1: the difference is not "
                          "covered by the uncertainties.\nThe results relate only to the item "
                          "compared.");
}

// Over the row limit: the rows with En > 1 and the Largest_Rows more with the largest En, at
// most the limit, in the order of their positions.
std::vector<TComparison::TExportData> Excerpt(const std::vector<TComparison::TExportData> &rows,
                                              std::size_t limit, std::size_t above_one)
{
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (rows[i].Has_Position() && rows[i].Has_En())
            order.push_back(i);
    const std::size_t kept = std::min({order.size(), limit, above_one + Largest_Rows});
    std::nth_element(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(kept), order.end(),
                     [&rows](std::size_t a, std::size_t b) {
                         return rows[a].en_value > rows[b].en_value;
                     });
    order.resize(kept);
    std::sort(order.begin(), order.end());
    std::vector<TComparison::TExportData> excerpt;
    excerpt.reserve(kept);
    for (const std::size_t i : order)
        excerpt.push_back(rows[i]);
    return excerpt;
}

// What a record over the row limit leaves out, and how to get the whole table.
QString Excerpt_Text(const THeading &heading, std::size_t rows, std::size_t shown,
                     std::size_t above_one)
{
    const QString which =
        shown >= above_one
            ? QStringLiteral("every row with En > 1 and the rows with the largest En (%1 rows)")
                  .arg(shown)
            : QStringLiteral("%1 of the %2 rows with En > 1, those with the largest En")
                  .arg(shown)
                  .arg(above_one);
    // The command names the data file only while the comparison is what it holds.
    const bool saved = !heading.data_file.isEmpty() && !heading.data_changed;
    const QString command = QStringLiteral("quorval-report %1 --csv TABLE.csv")
                                .arg(saved ? heading.data_file : QStringLiteral("FILE"));
    QString source;
    if (!saved)
        source = QStringLiteral(", once the data is saved as FILE");
    else if (!heading.checksum.isEmpty())
        source = QStringLiteral(", for the data file of SHA-256 %1").arg(heading.checksum);
    return QStringLiteral("The whole table has %1 rows, more than the %2 of a record: the table "
                          "below holds %3, in the order of their positions. The whole table: "
                          "%4%5.")
        .arg(rows)
        .arg(heading.row_limit)
        .arg(which, command, source);
}

double Closing_Height(const TStyle &style) { return 4.0 * style.mm + 7.0 * style.line; }

// Both graphs at least three quarters as high as they are wide, and the closing block under
// them, from y on, on a page of their own when the last page has no room for that.
void Lay_Out_Graphs(const TStyle &style, double y, TLayout *layout)
{
    const double top = layout->body.top();
    const double bottom = layout->body.bottom();
    const double width = layout->body.width();
    const double closing = Closing_Height(style);
    if (bottom - y - closing < 0.75 * width) {
        layout->pages.emplace_back();
        y = top;
    }
    // Paper too small for both: the closing block on a page of its own.
    const bool closing_fits = bottom - y - closing >= 0.75 * width;
    const double graphs_height = std::min(bottom - y - (closing_fits ? closing : 0.0), 1.4 * width);
    layout->pages.back().graphs = QRectF(layout->body.left(), y, width, graphs_height);
    if (closing_fits) {
        y += graphs_height;
    } else {
        layout->pages.emplace_back();
        y = top;
    }
    layout->pages.back().closing_top = y;
}

TLayout Lay_Out(const TStyle &style, QPaintDevice *device, const TComparison &comparison,
                const THeading &heading)
{
    TLayout layout;
    // Over the row limit the table holds an excerpt: the rows an assessor must see.
    const std::vector<TComparison::TExportData> &all_rows = comparison.Export_Rows();
    const std::size_t limit = static_cast<std::size_t>(std::max(heading.row_limit, 1));
    QString excerpt_text;
    layout.rows = &all_rows;
    if (all_rows.size() > limit) {
        const auto above_one = static_cast<std::size_t>(Report::Summarise(all_rows).above_one);
        layout.excerpt = Excerpt(all_rows, limit, above_one);
        layout.rows = &layout.excerpt;
        excerpt_text = Excerpt_Text(heading, all_rows.size(), layout.excerpt.size(), above_one);
    }
    const std::vector<TComparison::TExportData> &rows = *layout.rows;
    layout.decimals = Report::Document_Decimals(comparison.Data_Decimals(), heading.en_decimals);
    // The record number heads every page, where there is one and the paper has room for it
    // (the footer names it all the same).
    const double header =
        heading.details.record_number.isEmpty() || device->height() < 100.0 * style.mm
            ? 0.0
            : style.footer_height;
    layout.body = QRectF(0.0, header, device->width(),
                         device->height() - style.footer_height - header);
    const double gap = 4.0 * style.mm;
    const QFontMetricsF metrics(style.text, device);
    for (const char *label : {"Data B Pos Offset", "Data B Dev Offset", "Entries in set A"})
        layout.label_width = std::max(layout.label_width, metrics.horizontalAdvance(label));
    for (int i = 0; i < Details::Count; ++i)
        if (!Details::Field(heading.details, i).isEmpty())
            layout.label_width =
                std::max(layout.label_width, metrics.horizontalAdvance(Details::Labels[i]));
    layout.label_width += 3.0 * style.mm;
    layout.heading_lines =
        Heading_Lines(style, device, comparison, heading, layout.label_width, layout.body.width());
    layout.header_lines = layout.body.height() >= 3.4 * style.row ? 2 : 1;
    layout.header_height = style.row * (layout.header_lines + 0.4);
    layout.summary_height = gap + 6.0 * style.line;
    Lay_Out_Columns(style, device, rows, &layout);
    if (!excerpt_text.isEmpty())
        layout.excerpt_lines = Wrapped(excerpt_text, style.text, device, layout.body.width());
    layout.method_lines =
        Wrapped(Method_Text(comparison, heading), style.text, device, layout.body.width());

    const double top = layout.body.top();
    const double bottom = layout.body.bottom();
    layout.pages.emplace_back();
    double y = Lay_Out_Lines(style, static_cast<int>(layout.heading_lines.size()),
                             QFontMetricsF(style.title, device).lineSpacing() + 3.0 * style.mm, top,
                             &TPage::heading, &layout) +
               gap;
    if (!layout.excerpt_lines.isEmpty())
        y = Lay_Out_Lines(style, static_cast<int>(layout.excerpt_lines.size()), style.line, y,
                          &TPage::excerpt, &layout) +
            gap;
    const auto New_Page = [&]() {
        layout.pages.emplace_back();
        y = top;
    };

    y = Lay_Out_Table(style, static_cast<int>(rows.size()), y, &layout);

    if (y + layout.summary_height > bottom)
        New_Page();
    layout.pages.back().summary_top = y;
    y += layout.summary_height;

    // Then which entries have no position of their own, under a title of its own, line by line.
    const std::vector<TComparison::TMerged_Entry> &merged = comparison.Merged_Entries();
    layout.merged_lines = Merged_Lines(
        style, device,
        merged.size() > limit ? std::vector<TComparison::TMerged_Entry>(
                                    merged.begin(), merged.begin() + static_cast<long>(limit))
                              : merged,
        layout.body.width());
    if (merged.size() > limit)
        layout.merged_lines.append(
            QStringLiteral("and %1 more (quorval-report names them all)").arg(merged.size() - limit));
    y = Lay_Out_Lines(style, static_cast<int>(layout.merged_lines.size()), gap + style.line, y,
                      &TPage::merged, &layout) +
        gap;
    // How the results were reached and are judged, before the graphs that show them.
    y = Lay_Out_Lines(style, static_cast<int>(layout.method_lines.size()), style.line, y,
                      &TPage::method, &layout) +
        gap;

    Lay_Out_Graphs(style, y, &layout);
    return layout;
}

// Draws the text in the box; a text wider than the box is drawn narrower to fit, so that nothing
// of it is lost or drawn over its neighbours.
void Draw_Fitted(QPainter *painter, const QRectF &box, Qt::Alignment alignment, const QString &text,
                 bool measure = true)
{
    const double width =
        measure ? QFontMetricsF(painter->font(), painter->device()).horizontalAdvance(text) : 0.0;
    if (width <= box.width()) {
        painter->drawText(box, alignment | Qt::TextDontClip, text);
        return;
    }
    painter->save();
    painter->translate(box.left(), 0.0);
    painter->scale(box.width() / width, 1.0);
    painter->drawText(QRectF(0.0, box.top(), width, box.height()),
                      Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip, text);
    painter->restore();
}

void Draw_Rule(QPainter *painter, const QColor &colour, double left, double right, double y)
{
    painter->setPen(QPen(colour, 0.0));
    painter->drawLine(QPointF(left, y), QPointF(right, y));
}

// A label in grey and its value in black, on one line.
void Draw_Field(QPainter *painter, const TStyle &style, double left, double label_width,
                double value_width, double y, const QString &label, const QString &value)
{
    painter->setFont(style.text);
    painter->setPen(Label_Colour);
    Draw_Fitted(painter, QRectF(left, y, label_width, style.line), Qt::AlignLeft | Qt::AlignVCenter,
                label);
    painter->setPen(Qt::black);
    Draw_Fitted(painter, QRectF(left + label_width, y, value_width, style.line),
                Qt::AlignLeft | Qt::AlignVCenter, value);
}

void Paint_Heading(QPainter *painter, const TStyle &style, const TLayout &layout,
                   const TLines &lines)
{
    const QRectF &body = layout.body;
    double y = lines.top;
    if (lines.title) {
        painter->setFont(style.title);
        painter->setPen(Qt::black);
        const double title_height = QFontMetricsF(style.title, painter->device()).lineSpacing();
        painter->drawText(QRectF(body.left(), y, body.width(), title_height),
                          Qt::AlignLeft | Qt::AlignVCenter, QLatin1String(Title));
        y += title_height + 1.0 * style.mm;
        Draw_Rule(painter, Rule_Colour, body.left(), body.right(), y);
        y += 2.0 * style.mm;
    }
    const double label_width = layout.label_width;
    const double half = body.width() / 2.0;
    for (int i = lines.first; i < lines.first + lines.count; ++i) {
        const THeading_Line &line = layout.heading_lines[static_cast<std::size_t>(i)];
        if (line.right_label.isEmpty()) {
            Draw_Field(painter, style, body.left(), label_width, body.width() - label_width, y,
                       line.label, line.value);
        } else {
            Draw_Field(painter, style, body.left(), label_width, half - label_width, y, line.label,
                       line.value);
            Draw_Field(painter, style, body.left() + half, label_width, half - label_width, y,
                       line.right_label, line.right_value);
        }
        y += style.line;
    }
}

void Paint_Table(QPainter *painter, const TStyle &style, const TLayout &layout, const TPage &page,
                 const std::vector<TComparison::TExportData> &rows)
{
    const double left = layout.body.left();
    const double right = layout.body.right();
    const double padding = 1.0 * style.mm;
    const auto Cell = [&](int column, double y, double height) {
        return QRectF(layout.left[column] + padding, y, layout.width[column] - 2.0 * padding,
                      height);
    };

    painter->setFont(style.table_bold);
    painter->setPen(Qt::black);
    for (int column = 0; column < Columns; ++column)
        for (int line = 0; line < layout.header_lines; ++line)
            Draw_Fitted(
                painter, Cell(column, page.table_top + (0.2 + line) * style.row, style.row),
                (column == Marker_Column ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter,
                layout.header_lines == 2
                    ? Label_Of(column, line)
                    : (Label_Of(column, 0) + QLatin1Char(' ') + Label_Of(column, 1)).trimmed());
    double y = page.table_top + layout.header_height;
    Draw_Rule(painter, Rule_Colour, left, right, y);

    for (int i = page.first_row; i < page.first_row + page.rows; ++i) {
        const TComparison::TExportData &row = rows[static_cast<std::size_t>(i)];
        const bool marked = Report::Disagrees(row);
        if (marked)
            painter->fillRect(QRectF(left, y, right - left, style.row), Marked_Band);
        painter->setFont(marked ? style.table_bold : style.table);
        painter->setPen(marked ? Marked_Text : QColor(Qt::black));
        for (int column = 0; column < Marker_Column; ++column)
            Draw_Fitted(painter, Cell(column, y, style.row), Qt::AlignRight | Qt::AlignVCenter,
                        Report::Cell_Text(row, column, layout.decimals[column]),
                        !layout.fits[column]);
        if (marked)
            Draw_Fitted(painter, Cell(Marker_Column, y, style.row),
                        Qt::AlignLeft | Qt::AlignVCenter, QLatin1String(Marker),
                        !layout.fits[Marker_Column]);
        y += style.row;
        Draw_Rule(painter, Row_Rule_Colour, left, right, y);
    }
}

void Paint_Summary(QPainter *painter, const TStyle &style, const TLayout &layout, double top,
                   const TComparison &comparison)
{
    const QRectF &body = layout.body;
    const double y = top + 4.0 * style.mm;
    painter->setFont(style.bold);
    painter->setPen(Qt::black);
    painter->drawText(QRectF(body.left(), y, body.width(), style.line),
                      Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Summary"));

    const Report::TSummary summary = Report::Summarise(comparison.Export_Rows());
    const int en_decimals = layout.decimals[Report::Column_Count - 1];
    const double label_width = 0.25 * body.width();
    const double value_width = body.width() - label_width;
    Draw_Field(painter, style, body.left(), label_width, value_width, y + style.line,
               QStringLiteral("Positions"),
               QStringLiteral("%1, of which %2 with an En value")
                   .arg(summary.positions)
                   .arg(summary.en_count));
    if (summary.en_count == 0) {
        Draw_Field(painter, style, body.left(), label_width, value_width, y + 2.0 * style.line,
                   QStringLiteral("En"), QStringLiteral("none: ") + Report::No_En_Reason(summary));
        return;
    }
    const QString values[][2] = {
        {QStringLiteral("En Avg"), NumberText::At_Resolution(summary.en_mean, en_decimals)},
        {QStringLiteral("En Max"),
         QStringLiteral("%1 at %2 mm")
             .arg(NumberText::At_Resolution(summary.en_max, en_decimals),
                  NumberText::At_Resolution(summary.en_max_position, comparison.Data_Decimals()))},
        {QStringLiteral("Positions with En > 1"),
         summary.above_one == 0
             ? QStringLiteral("0")
             : QStringLiteral("%1, marked in the table").arg(summary.above_one)},
        {QStringLiteral("Verdict"),
         summary.above_one == 0
             ? QStringLiteral("The results agree: En \u2264 1 at all %1 positions with an En "
                              "value.")
                   .arg(summary.en_count)
             : QStringLiteral("The results do not agree: En > 1 at %1 of %2 positions with an "
                              "En value.")
                   .arg(summary.above_one)
                   .arg(summary.en_count)}};
    for (int i = 0; i < 4; ++i)
        Draw_Field(painter, style, body.left(), label_width, value_width, y + (2 + i) * style.line,
                   values[i][0], values[i][1]);
}

// A list's part on a page, under its title (a gap above it, unless at_top) on its first.
void Paint_Lines(QPainter *painter, const TStyle &style, const TLayout &layout,
                 const TLines &lines, const QString &title, const QStringList &texts,
                 bool at_top = false)
{
    const QRectF &body = layout.body;
    double y = lines.top;
    if (lines.title) {
        if (!at_top)
            y += 4.0 * style.mm;
        painter->setFont(style.bold);
        painter->setPen(Qt::black);
        painter->drawText(QRectF(body.left(), y, body.width(), style.line),
                          Qt::AlignLeft | Qt::AlignVCenter, title);
        y += style.line;
    }
    painter->setFont(style.text);
    painter->setPen(Qt::black);
    for (int i = 0; i < lines.count; ++i) {
        Draw_Fitted(painter, QRectF(body.left(), y, body.width(), style.line),
                    Qt::AlignLeft | Qt::AlignVCenter, texts[lines.first + i]);
        y += style.line;
    }
}

// The reviewer's lines: each label with a rule to write on.
void Paint_Closing(QPainter *painter, const TStyle &style, const TLayout &layout, double top)
{
    const QRectF &body = layout.body;
    double y = top + 4.0 * style.mm;
    painter->setFont(style.bold);
    painter->setPen(Qt::black);
    painter->drawText(QRectF(body.left(), y, body.width(), style.line),
                      Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Review"));
    const double rule_left = body.left() + layout.label_width;
    const double rule_right = body.left() + 0.75 * body.width();
    for (const char *label : Closing_Lines) {
        y += 2.0 * style.line;
        Draw_Field(painter, style, body.left(), layout.label_width, 0.0, y, QLatin1String(label),
                   QString());
        Draw_Rule(painter, Rule_Colour, rule_left, rule_right, y + style.line);
    }
}

// Pages that come apart still say which record they belong to, by which program, and where in
// it they stand.
void Paint_Footer(QPainter *painter, const TStyle &style, const TLayout &layout,
                  const THeading &heading, int page, int pages)
{
    const QString &record_number = heading.details.record_number;
    if (layout.body.top() > 0.0) {
        const QRectF top(layout.body.left(), 0.0, layout.body.width(),
                         style.footer_height - 3.0 * style.mm);
        painter->setFont(style.footer);
        painter->setPen(Label_Colour);
        Draw_Fitted(painter, top, Qt::AlignRight | Qt::AlignVCenter,
                    QStringLiteral("Record %1").arg(record_number));
        Draw_Rule(painter, Rule_Colour, top.left(), top.right(), top.bottom() + 1.5 * style.mm);
    }
    const QRectF &body = layout.body;
    Draw_Rule(painter, Rule_Colour, body.left(), body.right(), body.bottom() + 1.5 * style.mm);
    const QRectF line(body.left(), body.bottom() + 3.0 * style.mm, body.width(),
                      style.footer_height - 3.0 * style.mm);
    painter->setFont(style.footer);
    painter->setPen(Label_Colour);
    const QFontMetricsF metrics(style.footer, painter->device());
    const QString number = QStringLiteral("Page %1 of %2").arg(page).arg(pages);
    const QString program = QLatin1String(Program);
    // The program's name in the middle; the file's name gets the room left of it.
    const double program_width = metrics.horizontalAdvance(program);
    const double side = (body.width() - program_width) / 2.0 - 3.0 * style.mm;
    painter->drawText(line, Qt::AlignRight | Qt::AlignVCenter, number);
    painter->drawText(line, Qt::AlignHCenter | Qt::AlignVCenter, program);
    const QString file = heading.data_file.isEmpty() ? QLatin1String(Unsaved)
                                                     : QFileInfo(heading.data_file).fileName();
    Draw_Fitted(painter, QRectF(line.left(), line.top(), std::max(side, 0.0), line.height()),
                Qt::AlignLeft | Qt::AlignVCenter,
                (record_number.isEmpty() ? QString()
                                         : QStringLiteral("Record %1 \u00b7 ").arg(record_number)) +
                    QStringLiteral("%1 \u00b7 created %2").arg(file, Created_Text(heading)));
}

} // namespace

void Read_Settings(const QSettings &settings, QString *laboratory, int *row_limit)
{
    const QString text =
        Details::Normalised(Settings::Read_String(settings, "Laboratory", *laboratory));
    if (Details::Fault(text).isEmpty())
        *laboratory = text;
    const int limit = Settings::Read_Int(settings, "Record_Row_Limit", *row_limit);
    if (limit >= Least_Row_Limit && limit <= Most_Row_Limit)
        *row_limit = limit;
}

QString Settings_File() { return QDir::homePath() + "/.quorval/quorval_settings.ini"; }

QPageSize::PageSizeId Paper_Of(int width_mm, int height_mm)
{
    return width_mm == 216 && height_mm == 279 ? QPageSize::Letter : QPageSize::A4;
}

QPageSize::PageSizeId Locale_Paper()
{
#if defined(__GLIBC__)
    // glibc gives these numbers in the place of the string pointer.
    union {
        char *string;
        unsigned int number;
    } width, height;
    width.string = nl_langinfo(_NL_PAPER_WIDTH);
    height.string = nl_langinfo(_NL_PAPER_HEIGHT);
    return Paper_Of(static_cast<int>(width.number), static_cast<int>(height.number));
#else
    return QLocale::system().measurementSystem() == QLocale::ImperialUSSystem ? QPageSize::Letter
                                                                              : QPageSize::A4;
#endif
}

void Set_Up_Page(QPagedPaintDevice *device)
{
    QUORVAL_ASSERT(device != nullptr);
    device->setPageLayout(QPageLayout(QPageSize(Locale_Paper()), QPageLayout::Portrait,
                                      QMarginsF(Margin_Mm, Margin_Mm, Margin_Mm, Margin_Mm),
                                      QPageLayout::Millimeter));
}

int Paint(QPagedPaintDevice *device, const TComparison &comparison, const THeading &heading,
          const Progress::TReport &progress)
{
    QUORVAL_ASSERT(device != nullptr);
    QPainter painter;
    if (!painter.begin(device))
        return 0;
    // Heard at once: laying out a large comparison takes a moment before the first page.
    if (!Progress::Go_On(progress, 0, 1)) {
        painter.end();
        return 0;
    }
    const TStyle style(device);
    const TLayout layout = Lay_Out(style, device, comparison, heading);
    const int pages = static_cast<int>(layout.pages.size());
    for (int i = 0; i < pages; ++i) {
        if (!Progress::Go_On(progress, i, pages)) {
            // A printer's owner aborts its job when it stops the work: ending the painter would
            // otherwise print the pages painted so far.
            painter.end();
            return 0;
        }
        if (i > 0 && !device->newPage()) {
            painter.end();
            return 0;
        }
        const TPage &page = layout.pages[static_cast<std::size_t>(i)];
        if (page.heading.top >= 0.0)
            Paint_Heading(&painter, style, layout, page.heading);
        if (page.excerpt.top >= 0.0)
            Paint_Lines(&painter, style, layout, page.excerpt,
                        QStringLiteral("Rows of the table"), layout.excerpt_lines, true);
        if (page.table_top >= 0.0)
            Paint_Table(&painter, style, layout, page, *layout.rows);
        if (page.summary_top >= 0.0)
            Paint_Summary(&painter, style, layout, page.summary_top, comparison);
        if (page.merged.top >= 0.0)
            Paint_Lines(&painter, style, layout, page.merged,
                        QStringLiteral("Entries without a position of their own"),
                        layout.merged_lines);
        if (page.method.top >= 0.0)
            Paint_Lines(&painter, style, layout, page.method,
                        QStringLiteral("Method and decision rule"), layout.method_lines, true);
        if (!page.graphs.isEmpty()) {
            painter.save();
            ComparisonGraphs::Paint_Comparison(
                &painter, page.graphs.toRect(), comparison,
                ComparisonGraphs::TLegendTexts::Of(heading.details, heading.aligned));
            painter.restore();
        }
        if (page.closing_top >= 0.0)
            Paint_Closing(&painter, style, layout, page.closing_top);
        Paint_Footer(&painter, style, layout, heading, i + 1, pages);
    }
    return painter.end() ? pages : 0;
}

bool Render_Pdf(const TComparison &comparison, const THeading &heading, const QString &creator,
                QByteArray *pdf, QString *error, const QPageLayout *layout,
                const Progress::TReport &progress)
{
    QUORVAL_ASSERT(pdf != nullptr);
    QUORVAL_ASSERT(error != nullptr);
    pdf->clear();
    QBuffer buffer(pdf);
    buffer.open(QIODevice::WriteOnly);
    int pages = 0;
    {
        QPdfWriter writer(&buffer);
        writer.setCreator(creator);
        writer.setTitle(QLatin1String(Title));
        writer.setResolution(Resolution);
        if (layout != nullptr)
            writer.setPageLayout(*layout);
        else
            Set_Up_Page(&writer);
        pages = Paint(&writer, comparison, heading, progress);
    }
    if (pages == 0 || pdf->isEmpty()) {
        *error = QStringLiteral("ERR  Cannot draw the record.");
        return false;
    }
    return true;
}

} // namespace Record
