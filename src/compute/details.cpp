#include "src/compute/details.h"

#include "core/base/assertion.h"
#include "src/compute/fileformat.h"

namespace Details {

namespace {

constexpr std::array<const char *, Count> Names_Of_Elements()
{
    std::array<const char *, Count> names{};
    for (int i = 0; i < Count; ++i)
        names[i] = FileFormat::Name(FileFormat::TElement(FileFormat::DETAIL_FIRST + i)).data();
    return names;
}

} // namespace

const std::array<const char *, Count> Element_Names = Names_Of_Elements();
const std::array<const char *, Count> Labels = {
    "Item",          "Set A",             "Set B",           "Operator",
    "Remarks",       "Record number",     "Set A laboratory", "Set A certificate",
    "Set A date",    "Set B laboratory",  "Set B certificate", "Set B date"};
const std::array<int, Count> Shown_Order = {5, 0, 1, 6, 7, 8, 2, 9, 10, 11, 3, 4};

QString *Field(Type::TDetails *details, int index)
{
    QUORVAL_ASSERT(details != nullptr);
    QUORVAL_ASSERT(index >= 0 && index < Count);
    QString *const fields[Count] = {&details->item,
                                    &details->set_a_description,
                                    &details->set_b_description,
                                    &details->operator_name,
                                    &details->remarks,
                                    &details->record_number,
                                    &details->set_a_laboratory,
                                    &details->set_a_certificate,
                                    &details->set_a_dates,
                                    &details->set_b_laboratory,
                                    &details->set_b_certificate,
                                    &details->set_b_dates};
    return fields[index];
}

const QString &Field(const Type::TDetails &details, int index)
{
    return *Field(const_cast<Type::TDetails *>(&details), index);
}

QString Normalised(const QString &text)
{
    QString kept = text;
    kept.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    kept.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return kept.trimmed();
}

QString Fault(const QString &text)
{
    int characters = 0;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        ++characters;
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            ++i;
            continue;
        }
        const ushort code = c.unicode();
        const bool control = c.category() == QChar::Other_Control && code != '\n';
        if (control || c.isSurrogate() || code == 0xFFFE || code == 0xFFFF)
            return QStringLiteral("holds the %1 U+%2")
                .arg(QLatin1String(control ? "control character" : "character"),
                     QString::number(code, 16).toUpper().rightJustified(4, QLatin1Char('0')));
    }
    if (characters > Most_Characters)
        return QStringLiteral("holds %1 characters, more than %2")
            .arg(characters)
            .arg(Most_Characters);
    return QString();
}

QString First_Fault(const Type::TDetails &details)
{
    for (int i = 0; i < Count; ++i) {
        const QString fault = Fault(Field(details, i));
        if (!fault.isEmpty())
            return QStringLiteral("Node '%1' %2").arg(QLatin1String(Element_Names[i]), fault);
    }
    return QString();
}

} // namespace Details
