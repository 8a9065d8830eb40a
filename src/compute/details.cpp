#include "src/compute/details.h"

#include "core/base/assertion.h"
#include "src/compute/fileformat.h"

namespace Details {

const std::array<const char *, Count> Element_Names = {
    FileFormat::Name(FileFormat::DETAIL_FIRST).data(),
    FileFormat::Name(FileFormat::TElement(FileFormat::DETAIL_FIRST + 1)).data(),
    FileFormat::Name(FileFormat::TElement(FileFormat::DETAIL_FIRST + 2)).data(),
    FileFormat::Name(FileFormat::TElement(FileFormat::DETAIL_FIRST + 3)).data(),
    FileFormat::Name(FileFormat::DETAIL_LAST).data()};
const std::array<const char *, Count> Labels = {"Item", "Set A", "Set B", "Operator", "Remarks"};

QString *Field(Type::TDetails *details, int index)
{
    QUORVAL_ASSERT(details != nullptr);
    QUORVAL_ASSERT(index >= 0 && index < Count);
    QString *const fields[Count] = {&details->item, &details->set_a_description,
                                    &details->set_b_description, &details->operator_name,
                                    &details->remarks};
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
