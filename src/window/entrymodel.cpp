#include "src/window/entrymodel.h"

#include "core/base/assertion.h"

TEntryModel::TEntryModel(const TComparisonDocument *document, int set, QObject *parent)
    : QAbstractListModel(parent), d_document(document), d_set(set), d_decimals(Automatic),
      d_shown(NumberText::Least_Decimals)
{
    // The document's changes of this set become the model's.
    const auto Mine = [this](int set_changed) { return set_changed == d_set; };
    connect(document, &TComparisonDocument::Entries_About_To_Be_Inserted, this,
            [this, Mine](int set, int first, int last) {
                if (Mine(set))
                    beginInsertRows(QModelIndex(), first, last);
            });
    connect(document, &TComparisonDocument::Entries_Inserted, this,
            [this, Mine](int set, int first, int last) {
                if (!Mine(set))
                    return;
                endInsertRows();
                // Rows added can only add decimals; the others are counted again.
                if (d_decimals == Automatic)
                    Show_Decimals(Carried_Decimals(first, last, d_shown));
            });
    connect(document, &TComparisonDocument::Entries_About_To_Be_Removed, this,
            [this, Mine](int set, int first, int last) {
                if (Mine(set))
                    beginRemoveRows(QModelIndex(), first, last);
            });
    const auto Recount = [this]() {
        if (d_decimals == Automatic)
            Show_Decimals(Carried_Decimals(0, rowCount() - 1, NumberText::Least_Decimals));
    };
    connect(document, &TComparisonDocument::Entries_Removed, this, [this, Mine, Recount](int set) {
        if (!Mine(set))
            return;
        endRemoveRows();
        Recount();
    });
    connect(document, &TComparisonDocument::Entry_Changed, this,
            [this, Mine, Recount](int set, int row) {
                if (!Mine(set))
                    return;
                emit dataChanged(index(row), index(row), {Qt::DisplayRole});
                // A row that carries as many decimals as shown or more decides alone; one that
                // carries fewer may have been the one that carried the most.
                const int carried = Carried_Decimals(row, row, NumberText::Least_Decimals);
                if (carried >= d_shown && d_decimals == Automatic)
                    Show_Decimals(carried);
                else
                    Recount();
            });
    connect(document, &TComparisonDocument::Set_About_To_Be_Reset, this, [this, Mine](int set) {
        if (Mine(set))
            beginResetModel();
    });
    connect(document, &TComparisonDocument::Set_Reset, this, [this, Mine, Recount](int set) {
        if (!Mine(set))
            return;
        endResetModel();
        Recount();
    });
}

int TEntryModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(d_document->Count(d_set));
}

QVariant TEntryModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount())
        return QVariant();
    return Display_Text(d_document->Shown_Entry(d_set, static_cast<std::size_t>(index.row())),
                        d_shown);
}

QString TEntryModel::Display_Text(const Type::TEntryItem &item, int decimals)
{
    // As QString("%1, %2, %3").arg(...) of the three values, each fixed-point in the C locale, in
    // fields of 10, 10 and 8 at four decimals; made directly, for the rows scrolled into view.
    const int wider = decimals - NumberText::Least_Decimals;
    QString text;
    text.reserve(40 + 3 * wider);
    NumberText::Append_Fixed(&text, item.nominal, 10 + wider, decimals);
    text += QLatin1String(", ");
    NumberText::Append_Fixed(&text, item.actual, 10 + wider, decimals);
    text += QLatin1String(", ");
    NumberText::Append_Fixed(&text, item.uc, 8 + wider, decimals);
    return text;
}

void TEntryModel::Set_Decimals(int decimals)
{
    QUORVAL_ASSERT(decimals == Automatic || decimals >= NumberText::Least_Decimals);
    d_decimals = decimals;
    Show_Decimals(decimals == Automatic
                      ? Carried_Decimals(0, rowCount() - 1, NumberText::Least_Decimals)
                      : decimals);
}

int TEntryModel::Carried_Decimals(int first, int last, int least) const
{
    int decimals = least;
    for (int row = first; row <= last && decimals < NumberText::Most_Carried_Decimals; ++row) {
        const Type::TEntryItem item = d_document->Shown_Entry(d_set, static_cast<std::size_t>(row));
        for (const double *value : {&item.nominal, &item.actual, &item.uc})
            decimals = NumberText::Carried_Decimals(*value, decimals);
    }
    return decimals;
}

void TEntryModel::Show_Decimals(int decimals)
{
    if (decimals == d_shown)
        return;
    d_shown = decimals;
    if (rowCount() > 0)
        emit dataChanged(index(0), index(rowCount() - 1), {Qt::DisplayRole});
}
