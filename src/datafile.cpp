#include "src/datafile.h"

#include "core/assertion.h"
#include "core/xmlfile.h"
#include "src/entrylists.h"

#include <QDomElement>

#include <algorithm>
#include <cmath>
#include <new>
#include <utility>

namespace {

const QString Identification = QStringLiteral("Quorval_Data");
const int Written_Version = 2;
const int Decimals = 5;

const QString Name_Offset_A = QStringLiteral("Data_Set_A_Offset");
const QString Name_Offset_B = QStringLiteral("Data_Set_B_Offset");
const QString Name_Set_A = QStringLiteral("Data_Set_A");
const QString Name_Set_B = QStringLiteral("Data_Set_B");
const QString Name_Entry = QStringLiteral("Entry");
const QString Name_Nominal = QStringLiteral("Nominal");
const QString Name_Actual = QStringLiteral("Actual");
const QString Name_Uc = QStringLiteral("Uc");

void Check_Version(int version)
{
    if (version != 1 && version != 2)
        throw TXmlFileException(QStringLiteral("ERR:  File version not recognized"),
                                TXmlFileException::DATA_ERROR);
}

double Read_Number(const TXmlFile *xml_file, const QDomElement &parent, const QString &name)
{
    const QDomElement element = xml_file->Get_Node(&parent, name, false);
    return EntryLists::To_Number(xml_file->Read_Text_Node(&element, false));
}

// Reads every "Entry" of the data set named set_name, in document order.
std::vector<Type::TEntryItem> Read_Set(const TXmlFile *xml_file, const QString &set_name)
{
    const QDomElement set = xml_file->Get_Node(&xml_file->d_root_node, set_name, false);
    std::vector<Type::TEntryItem> items;
    QDomElement entry = xml_file->Get_Node(&set, Name_Entry, true);
    while (!entry.isNull()) {
        Type::TEntryItem item;
        item.nominal = Read_Number(xml_file, entry, Name_Nominal);
        item.actual = Read_Number(xml_file, entry, Name_Actual);
        item.uc = Read_Number(xml_file, entry, Name_Uc);
        items.push_back(item);
        entry = xml_file->Get_Sibling_Node(&entry, Name_Entry, true);
    }
    return items;
}

// A value that cannot be read back (infinity, not-a-number) is written as 0, which is what
// reading such text gives anyway. So is a negative value that rounds to zero: its text would be
// "-0.00000", which reads back as a zero that is then written "0.00000", so that saving a loaded
// file would not give the same bytes.
double Writable(double value)
{
    if (!std::isfinite(value))
        return 0.0;
    if (value < 0.0 && value > -1e-4 && QString::number(value, 'f', Decimals).toDouble() == 0.0)
        return 0.0;
    return value;
}

void Write_Number(TXmlFile *xml_file, QDomElement *parent, const QString &name, double value)
{
    QDomElement element = xml_file->Create_Node(parent, name);
    xml_file->Write_Text_Node(&element, Writable(value), Decimals);
}

void Write_Set(TXmlFile *xml_file, const QString &set_name,
               const std::vector<Type::TEntryItem> &items)
{
    // The widgets hand the entries over sorted already; other callers get the same order. A
    // stable sort keeps the given order of entries with equal actual values.
    const std::vector<Type::TEntryItem> *sorted = &items;
    std::vector<Type::TEntryItem> copy;
    if (!std::is_sorted(items.begin(), items.end(), TEntryItem_Sort())) {
        copy = items;
        std::stable_sort(copy.begin(), copy.end(), TEntryItem_Sort());
        sorted = &copy;
    }

    QDomElement set = xml_file->Create_Node(&xml_file->d_root_node, set_name);
    for (const Type::TEntryItem &item : *sorted) {
        QDomElement entry = xml_file->Create_Node(&set, Name_Entry);
        Write_Number(xml_file, &entry, Name_Nominal, item.nominal);
        Write_Number(xml_file, &entry, Name_Actual, item.actual);
        Write_Number(xml_file, &entry, Name_Uc, item.uc);
    }
}

// Reads an opened file of version 1 or 2; *content is written only once everything is read.
void Read_Content(const TXmlFile *xml_file, int version, DataFile::TContent *content)
{
    DataFile::TContent read;
    read.version = version;
    // Offset elements, if a version 1 file has any, are not looked at.
    if (version == 2) {
        read.offset_a = Read_Number(xml_file, xml_file->d_root_node, Name_Offset_A);
        read.offset_b = Read_Number(xml_file, xml_file->d_root_node, Name_Offset_B);
    }
    read.entries_a = Read_Set(xml_file, Name_Set_A);
    read.entries_b = Read_Set(xml_file, Name_Set_B);
    *content = std::move(read);
}

QString Load_Error(const TXmlFileException &exception)
{
    return QStringLiteral("ERR  Load_Data: %1").arg(exception.d_message);
}

QString Save_Error(const TXmlFileException &exception)
{
    return QStringLiteral("ERR  Save_Data: %1").arg(exception.d_message);
}

// Runs one whole load or save: a failure of the XML layer becomes false and the one-line reason.
template <typename TAction>
bool Attempt(QString (*describe)(const TXmlFileException &), QString *error, TAction action)
{
    try {
        action();
    } catch (const TXmlFileException &exception) {
        *error = describe(exception);
        return false;
    } catch (const std::bad_alloc &) {
        // A file too big for the memory left: a failed load or save like any other.
        *error = describe(TXmlFileException(QStringLiteral("ERR:  Out of memory"),
                                            TXmlFileException::DATA_ERROR));
        return false;
    }
    return true;
}

} // namespace

namespace DataFile {

void Open(TXmlFile *xml_file, int *version)
{
    QUORVAL_ASSERT(xml_file != nullptr);
    QUORVAL_ASSERT(version != nullptr);
    xml_file->Open(Identification, version, true);
    Check_Version(*version);
}

void Open_Data(TXmlFile *xml_file, const QByteArray &data, int *version)
{
    QUORVAL_ASSERT(xml_file != nullptr);
    QUORVAL_ASSERT(version != nullptr);
    xml_file->Open_Data(data, Identification, version, true);
    Check_Version(*version);
}

void Read_V1(const TXmlFile *xml_file, TContent *content)
{
    QUORVAL_ASSERT(xml_file != nullptr);
    QUORVAL_ASSERT(content != nullptr);
    Read_Content(xml_file, 1, content);
}

void Read_V2(const TXmlFile *xml_file, TContent *content)
{
    QUORVAL_ASSERT(xml_file != nullptr);
    QUORVAL_ASSERT(content != nullptr);
    Read_Content(xml_file, 2, content);
}

void Build_Document(TXmlFile *xml_file, const TContent &content)
{
    QUORVAL_ASSERT(xml_file != nullptr);
    xml_file->Reset(Identification, Written_Version);
    // Set A's entries carry set A's offset, so the file records offsets relative to set A.
    Write_Number(xml_file, &xml_file->d_root_node, Name_Offset_A, 0.0);
    Write_Number(xml_file, &xml_file->d_root_node, Name_Offset_B, Relative_Offset_B(content));
    Write_Set(xml_file, Name_Set_A, content.entries_a);
    Write_Set(xml_file, Name_Set_B, content.entries_b);
}

bool Load_File(const QString &file_name, TContent *content, QString *error)
{
    QUORVAL_ASSERT(content != nullptr);
    QUORVAL_ASSERT(error != nullptr);
    return Attempt(Load_Error, error, [&] {
        TXmlFile xml_file;
        xml_file.d_file_name = file_name;
        int version = 0;
        Open(&xml_file, &version);
        Read_Content(&xml_file, version, content);
    });
}

bool Load_Data(const QByteArray &data, TContent *content, QString *error)
{
    QUORVAL_ASSERT(content != nullptr);
    QUORVAL_ASSERT(error != nullptr);
    return Attempt(Load_Error, error, [&] {
        TXmlFile xml_file;
        int version = 0;
        Open_Data(&xml_file, data, &version);
        Read_Content(&xml_file, version, content);
    });
}

bool Save_File(const QString &file_name, const TContent &content, QString *error)
{
    QUORVAL_ASSERT(error != nullptr);
    return Attempt(Save_Error, error, [&] {
        TXmlFile xml_file;
        xml_file.d_file_name = file_name;
        Build_Document(&xml_file, content);
        xml_file.Write_File(false);
    });
}

bool Save_Data(const TContent &content, QByteArray *data, QString *error)
{
    QUORVAL_ASSERT(data != nullptr);
    QUORVAL_ASSERT(error != nullptr);
    return Attempt(Save_Error, error, [&] {
        TXmlFile xml_file;
        Build_Document(&xml_file, content);
        xml_file.Write_Data(data, false);
    });
}

double Relative_Offset_B(const TContent &content)
{
    // Two huge offsets of opposite sign could differ by more than a double holds.
    return Writable(Writable(content.offset_b) - Writable(content.offset_a));
}

EntryLists::TLists Lists_Of(const TContent &content)
{
    // The stored entries include their set's offset, which the list adds again: the offset the
    // field holds is taken off, so that an unedited file saves to the same bytes.
    const auto Without_Offset = [](const std::vector<Type::TEntryItem> &stored, double offset) {
        // Without an offset the entries go in exactly as stored, zeros keeping their sign.
        std::vector<Type::TEntryItem> items = stored;
        if (offset != 0.0) {
            for (Type::TEntryItem &item : items) {
                item.nominal -= offset;
                item.actual -= offset;
            }
        }
        return items;
    };
    EntryLists::TLists lists;
    lists.offset_a = EntryLists::Shown_Offset(0.0);
    lists.offset_b = EntryLists::Shown_Offset(Relative_Offset_B(content));
    lists.list_a = Without_Offset(content.entries_a, lists.offset_a);
    lists.list_b = Without_Offset(content.entries_b, lists.offset_b);
    return lists;
}

TContent Content_Of(const EntryLists::TLists &lists)
{
    TContent content;
    content.entries_a = EntryLists::With_Offset(lists.list_a, lists.offset_a);
    content.entries_b = EntryLists::With_Offset(lists.list_b, lists.offset_b);
    content.offset_a = lists.offset_a;
    content.offset_b = lists.offset_b;
    return content;
}

} // namespace DataFile
