#include "src/documents/record.h"

#include "core/base/assertion.h"
#include "src/compute/comparison.h"
#include "src/compute/numbertext.h"
#include "src/compute/report.h"
#include "src/documents/comparisongraphs.h"

#include <QBuffer>
#include <QColor>
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

#include <algorithm>
#include <array>
#include <vector>

#if defined(__GLIBC__)
#include <langinfo.h>
#endif

namespace Record {

const int Resolution = 96;

namespace {

const char *const Title = "Length comparison";
const char *const Unsaved = "not saved";
const char *const Changed = " (changed since last opened or saved)";
const char *const Marker_Title = "Note";
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

struct TPage
{
    bool heading = false;
    double table_top = -1.0; // no table on the page when negative
    int first_row = 0;
    int rows = 0;
    double summary_top = -1.0; // no summary on the page when negative
    double merged_top = -1.0;  // no list of merged entries on the page when negative
    bool merged_title = false;
    int first_merged_line = 0;
    int merged_lines = 0;
    QRectF graphs; // empty: no graphs on the page
};

// Where everything goes, worked out before the first page is painted so that every page can
// say how many there are.
struct TLayout
{
    QRectF body; // a page's area above its footer
    double heading_height = 0.0;
    double header_height = 0.0; // the table's column titles
    double summary_height = 0.0;
    std::array<double, Columns> left{};
    std::array<double, Columns> width{};
    std::array<bool, Columns> fits{}; // every text of the column fits its width
    Report::TDecimals decimals{};     // of the table's columns
    QStringList merged_lines;         // the entries without a position of their own
    std::vector<TPage> pages;
};

QString Label_Of(int column)
{
    return QLatin1String(column == Marker_Column ? Marker_Title : Report::Column_Titles[column]);
}

// The table's columns: each as wide as its widest text, widened in proportion to fill the page's
// width.
void Lay_Out_Columns(const TStyle &style, QPaintDevice *device,
                     const std::vector<TComparison::TExportData> &rows, TLayout *layout)
{
    // A field is a number of digits, a point and maybe a sign, or the filler: the most characters
    // give the widest number, measured as that many digits in bold.
    std::array<int, Columns> longest{};
    for (const TComparison::TExportData &row : rows) {
        const Report::TRow_Fields fields = Report::Row_Fields(row, layout->decimals);
        for (int column = 0; column < Marker_Column; ++column)
            longest[column] = std::max(longest[column], fields[column].trimmed().size());
    }
    const QFontMetricsF metrics(style.table_bold, device);
    const double padding = 2.0 * style.mm;
    const QString filler = Report::Row_Fields(TComparison::TExportData())[1].trimmed();
    std::array<double, Columns> natural{};
    double total = 0.0;
    for (int column = 0; column < Columns; ++column) {
        const QString widest =
            column == Marker_Column
                ? QLatin1String(Marker)
                : QString(std::max(0, longest[column] - 1), QLatin1Char('0')) + QLatin1Char('.');
        natural[column] =
            std::max({metrics.horizontalAdvance(widest), metrics.horizontalAdvance(filler),
                      metrics.horizontalAdvance(Label_Of(column))}) +
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

// The lines of the merged entries from y on, the first under a title gap higher; returns where
// they end.
double Lay_Out_Merged(const TStyle &style, double gap, double y, TLayout *layout)
{
    const double top = layout->body.top();
    const double bottom = layout->body.bottom();
    const int merged_count = static_cast<int>(layout->merged_lines.size());
    for (int line = 0; line < merged_count;) {
        const bool title = line == 0;
        const double head = title ? gap + style.line : 0.0;
        if (y + head + style.line > bottom) {
            layout->pages.emplace_back();
            y = top;
        }
        TPage &page = layout->pages.back();
        page.merged_top = y;
        page.merged_title = title;
        page.first_merged_line = line;
        page.merged_lines = std::min(
            merged_count - line, std::max(1, static_cast<int>((bottom - y - head) / style.line)));
        line += page.merged_lines;
        y += head + page.merged_lines * style.line;
        if (line < merged_count) {
            layout->pages.emplace_back();
            y = top;
        }
    }
    return y;
}

TLayout Lay_Out(const TStyle &style, QPaintDevice *device, const TComparison &comparison)
{
    TLayout layout;
    layout.decimals = Report::Readable_Decimals(comparison.Export_Rows());
    layout.body = QRectF(0.0, 0.0, device->width(), device->height() - style.footer_height);
    const double gap = 4.0 * style.mm;
    layout.heading_height =
        QFontMetricsF(style.title, device).lineSpacing() + 3.0 * style.mm + 4.0 * style.line + gap;
    layout.header_height = style.row * 1.4;
    layout.summary_height = gap + 5.0 * style.line;
    const std::vector<TComparison::TExportData> &rows = comparison.Export_Rows();
    Lay_Out_Columns(style, device, rows, &layout);

    const double top = layout.body.top();
    const double bottom = layout.body.bottom();
    layout.pages.emplace_back();
    layout.pages.back().heading = true;
    double y = top + layout.heading_height;
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
    layout.merged_lines =
        Merged_Lines(style, device, comparison.Merged_Entries(), layout.body.width());
    y = Lay_Out_Merged(style, gap, y, &layout) + gap;

    // Both graphs at least three quarters as high as they are wide, on a page of their own when
    // the last page has no room for that.
    const double width = layout.body.width();
    if (bottom - y < 0.75 * width)
        New_Page();
    layout.pages.back().graphs =
        QRectF(layout.body.left(), y, width, std::min(bottom - y, 1.4 * width));
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
                   const TComparison &comparison, const THeading &heading)
{
    const QRectF &body = layout.body;
    painter->setFont(style.title);
    painter->setPen(Qt::black);
    const double title_height = QFontMetricsF(style.title, painter->device()).lineSpacing();
    painter->drawText(QRectF(body.left(), body.top(), body.width(), title_height),
                      Qt::AlignLeft | Qt::AlignVCenter, QLatin1String(Title));
    double y = body.top() + title_height + 1.0 * style.mm;
    Draw_Rule(painter, Rule_Colour, body.left(), body.right(), y);
    y += 2.0 * style.mm;

    const QString labels[] = {"Data file",         "Printed",           "Alignment",
                              "Data B Pos Offset", "Data B Dev Offset", "Entries in set A",
                              "Entries in set B"};
    const QFontMetricsF metrics(style.text, painter->device());
    double label_width = 0.0;
    for (const QString &label : labels)
        label_width = std::max(label_width, metrics.horizontalAdvance(label));
    label_width += 3.0 * style.mm;
    const double half = body.width() / 2.0;
    const double value_width = half - label_width;

    const QString file = heading.data_file.isEmpty()
                             ? QLatin1String(Unsaved)
                             : heading.data_file + (heading.data_changed ? Changed : "");
    Draw_Field(painter, style, body.left(), label_width, body.width() - label_width, y, labels[0],
               file);
    const QString values[] = {
        heading.printed.toString(QStringLiteral("yyyy-MM-dd HH:mm")),
        heading.aligned ? QStringLiteral("Aligned") : QStringLiteral("Not aligned"),
        NumberText::Readable(comparison.Offset_B()) + QStringLiteral(" mm"),
        NumberText::Readable(comparison.Data_B_Dev_Offset()) + QStringLiteral(" mm"),
        QString::number(heading.entries_a),
        QString::number(heading.entries_b)};
    for (int i = 0; i < 6; ++i) {
        const double left = body.left() + (i % 2) * half;
        const double line_y = y + (1 + i / 2) * style.line;
        Draw_Field(painter, style, left, label_width, value_width, line_y, labels[i + 1],
                   values[i]);
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
        Draw_Fitted(painter, Cell(column, page.table_top, layout.header_height),
                    (column == Marker_Column ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter,
                    Label_Of(column));
    double y = page.table_top + layout.header_height;
    Draw_Rule(painter, Rule_Colour, left, right, y);

    for (int i = page.first_row; i < page.first_row + page.rows; ++i) {
        const TComparison::TExportData &row = rows[static_cast<std::size_t>(i)];
        const bool marked = Report::Disagrees(row);
        if (marked)
            painter->fillRect(QRectF(left, y, right - left, style.row), Marked_Band);
        painter->setFont(marked ? style.table_bold : style.table);
        painter->setPen(marked ? Marked_Text : QColor(Qt::black));
        const Report::TRow_Fields fields = Report::Row_Fields(row, layout.decimals);
        for (int column = 0; column < Marker_Column; ++column)
            Draw_Fitted(painter, Cell(column, y, style.row), Qt::AlignRight | Qt::AlignVCenter,
                        fields[column].trimmed(), !layout.fits[column]);
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
    const double label_width = 0.25 * body.width();
    const double value_width = body.width() - label_width;
    Draw_Field(painter, style, body.left(), label_width, value_width, y + style.line,
               QStringLiteral("Positions"),
               QStringLiteral("%1, of which %2 with an En value")
                   .arg(summary.positions)
                   .arg(summary.en_count));
    if (summary.en_count == 0) {
        Draw_Field(painter, style, body.left(), label_width, value_width, y + 2.0 * style.line,
                   QStringLiteral("En"),
                   QStringLiteral("none: no position is covered by both sets"));
        return;
    }
    const QString values[][2] = {
        {QStringLiteral("En mean"), NumberText::Readable(summary.en_mean)},
        {QStringLiteral("Largest En"), QStringLiteral("%1 at %2 mm")
                                           .arg(NumberText::Readable(summary.en_max),
                                                NumberText::Readable(summary.en_max_position))},
        {QStringLiteral("Positions with En > 1"),
         summary.above_one == 0
             ? QStringLiteral("0")
             : QStringLiteral("%1, marked in the table").arg(summary.above_one)}};
    for (int i = 0; i < 3; ++i)
        Draw_Field(painter, style, body.left(), label_width, value_width, y + (2 + i) * style.line,
                   values[i][0], values[i][1]);
}

void Paint_Merged(QPainter *painter, const TStyle &style, const TLayout &layout, const TPage &page)
{
    const QRectF &body = layout.body;
    double y = page.merged_top;
    if (page.merged_title) {
        y += 4.0 * style.mm;
        painter->setFont(style.bold);
        painter->setPen(Qt::black);
        painter->drawText(QRectF(body.left(), y, body.width(), style.line),
                          Qt::AlignLeft | Qt::AlignVCenter,
                          QStringLiteral("Entries without a position of their own"));
        y += style.line;
    }
    painter->setFont(style.text);
    painter->setPen(Qt::black);
    for (int i = 0; i < page.merged_lines; ++i) {
        Draw_Fitted(painter, QRectF(body.left(), y, body.width(), style.line),
                    Qt::AlignLeft | Qt::AlignVCenter,
                    layout.merged_lines[page.first_merged_line + i]);
        y += style.line;
    }
}

void Paint_Footer(QPainter *painter, const TStyle &style, const TLayout &layout,
                  const THeading &heading, int page, int pages)
{
    const QRectF &body = layout.body;
    Draw_Rule(painter, Rule_Colour, body.left(), body.right(), body.bottom() + 1.5 * style.mm);
    const QRectF line(body.left(), body.bottom() + 3.0 * style.mm, body.width(),
                      style.footer_height - 3.0 * style.mm);
    painter->setFont(style.footer);
    painter->setPen(Label_Colour);
    const QString number = QStringLiteral("Page %1 of %2").arg(page).arg(pages);
    const double number_width =
        QFontMetricsF(style.footer, painter->device()).horizontalAdvance(number) + 3.0 * style.mm;
    painter->drawText(line, Qt::AlignRight | Qt::AlignVCenter, number);
    // Pages that come apart still say which record they belong to.
    const QString file = heading.data_file.isEmpty() ? QLatin1String(Unsaved)
                                                     : QFileInfo(heading.data_file).fileName();
    Draw_Fitted(painter, line.adjusted(0.0, 0.0, -number_width, 0.0),
                Qt::AlignLeft | Qt::AlignVCenter,
                QStringLiteral("%1 \u00b7 %2 \u00b7 printed %3")
                    .arg(QLatin1String(Title), file,
                         heading.printed.toString(QStringLiteral("yyyy-MM-dd HH:mm"))));
}

} // namespace

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

namespace {

// What the graphs' legend says about the sets, from the heading.
ComparisonGraphs::TLegendTexts Legend_Texts_Of(const THeading &heading)
{
    ComparisonGraphs::TLegendTexts texts;
    texts.aligned = heading.aligned;
    return texts;
}

} // namespace

int Paint(QPagedPaintDevice *device, const TComparison &comparison, const THeading &heading,
          const Progress::TReport &progress)
{
    QUORVAL_ASSERT(device != nullptr);
    QPainter painter;
    if (!painter.begin(device))
        return 0;
    const TStyle style(device);
    const TLayout layout = Lay_Out(style, device, comparison);
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
        if (page.heading)
            Paint_Heading(&painter, style, layout, comparison, heading);
        if (page.table_top >= 0.0)
            Paint_Table(&painter, style, layout, page, comparison.Export_Rows());
        if (page.summary_top >= 0.0)
            Paint_Summary(&painter, style, layout, page.summary_top, comparison);
        if (page.merged_top >= 0.0)
            Paint_Merged(&painter, style, layout, page);
        if (!page.graphs.isEmpty()) {
            painter.save();
            ComparisonGraphs::Paint_Comparison(&painter, page.graphs.toRect(), comparison,
                                               Legend_Texts_Of(heading));
            painter.restore();
        }
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
