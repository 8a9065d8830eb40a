// Writes the example data files in examples/ through the program's own data-file code:
//   make_examples OUTPUT_FOLDER
// The numbers come from a fixed pseudo-random sequence, so the files are the same on every run.
#include "src/compute/datafile.h"

#include <QCoreApplication>
#include <QDir>
#include <QString>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

// A small linear congruential generator: the same sequence on every platform and library.
class TSequence
{
public:
    explicit TSequence(std::uint32_t seed) : d_state(seed) {}
    // Uniform in [-1, 1).
    double Next()
    {
        d_state = d_state * 1664525u + 1013904223u;
        return static_cast<double>(d_state >> 8) / static_cast<double>(1u << 23) - 1.0;
    }

private:
    std::uint32_t d_state;
};

// The value rounded to a multiple of step, as the double nearest to that decimal number, so that
// the file holds it with no more decimals than the step has.
double Round_To(double value, double step)
{
    return QString::number(std::round(value / step) * step, 'f', 10).toDouble();
}

// A gauge-block set from 0.5 mm to 100 mm calibrated by two laboratories: deviations of a few
// tenths of a micrometre, expanded uncertainties of 0.03 to 0.1 micrometre growing with length.
// The blocks are independent standards, compared without alignment, and every block keeps a
// position of its own (13 mm next to 12.5 mm, 18 mm next to 17.5 mm): merge distance 0.
DataFile::TContent Gauge_Blocks()
{
    const double lengths[] = {0.5,  2,  3,    4,  5,    6,  7,  8,  9,  10, 11, 12.5, 13,
                              14,   15, 16,   17.5, 18, 19, 20, 21, 22.5, 24, 25, 30, 35,
                              40,   45, 50,   55, 60, 65, 70, 75, 80, 85, 90, 95, 100};
    TSequence random(20261207u);
    DataFile::TContent content;
    for (double nominal : lengths) {
        // The block's own deviation, then what each laboratory measured of it.
        const double deviation = 0.0003 * random.Next();
        const double u_a = Round_To(0.00003 + 0.0000007 * nominal, 0.00001);
        const double u_b = Round_To(0.00004 + 0.0000006 * nominal, 0.00001);
        const double actual_a = Round_To(nominal + deviation + 0.4 * u_a * random.Next(), 0.00001);
        const double actual_b = Round_To(nominal + deviation + 0.5 * u_b * random.Next(), 0.00001);
        content.entries_a.push_back({nominal, actual_a, u_a});
        content.entries_b.push_back({nominal, actual_b, u_b});
    }
    // Both laboratories found the two smallest blocks at their nominal lengths, so set A's
    // deviation at length 0 is 0: aligning set B to set A there leaves it where it is, and the
    // report reads the same with and without the alignment option.
    for (int i = 0; i < 2; ++i) {
        content.entries_a[i].actual = content.entries_a[i].nominal;
        content.entries_b[i].actual = content.entries_b[i].nominal;
    }
    // One block that the second laboratory found clearly longer: an En above 1.
    content.entries_b[30].actual = Round_To(content.entries_b[30].actual + 0.00025, 0.00001);
    content.align_deviations = false;
    content.merge_distance = 0.0;
    return content;
}

// A 1 m line scale graduated every 10 mm. Laboratory B started its measurement at the 2.5 mm
// line, so its data set carries an offset of 2.5 mm.
DataFile::TContent Line_Scale()
{
    TSequence random(4242u);
    const double offset_b = 2.5;
    DataFile::TContent content;
    content.offset_b = offset_b;
    for (int i = 0; i <= 100; ++i) {
        const double nominal = 10.0 * i;
        // A slight scale error of 1.5 um/m plus a periodic error of the graduation.
        const double deviation = 1.5e-6 * nominal + 0.0004 * std::sin(nominal / 80.0);
        const double u_a = Round_To(0.0003 + 0.8e-6 * nominal, 0.00001);
        const double u_b = Round_To(0.0004 + 1.0e-6 * nominal, 0.00001);
        const double actual_a = Round_To(nominal + deviation + 0.3 * u_a * random.Next(), 0.00001);
        content.entries_a.push_back({nominal, actual_a, u_a});
        if (nominal + offset_b <= 1000.0) {
            const double nominal_b = nominal + offset_b;
            const double deviation_b =
                1.5e-6 * nominal_b + 0.0004 * std::sin(nominal_b / 80.0) - 0.0002;
            const double actual_b =
                Round_To(nominal_b + deviation_b + 0.3 * u_b * random.Next(), 0.00001);
            content.entries_b.push_back({nominal_b, actual_b, u_b});
        }
    }
    return content;
}

bool Save(const QString &folder, const QString &name, const DataFile::TContent &content)
{
    QString error;
    if (!DataFile::Save_File(QDir(folder).filePath(name), content, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_examples OUTPUT_FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const bool ok = Save(folder, QStringLiteral("gauge_blocks.quorval"), Gauge_Blocks()) &&
                    Save(folder, QStringLiteral("line_scale.quorval"), Line_Scale());
    return ok ? 0 : 1;
}
