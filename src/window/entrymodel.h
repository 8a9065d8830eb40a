#ifndef QUORVAL_SRC_WINDOW_ENTRYMODEL_H
#define QUORVAL_SRC_WINDOW_ENTRYMODEL_H

#include "src/compute/comparisondocument.h"
#include "src/compute/numbertext.h"

#include <QAbstractListModel>
#include <QString>

// One set of a comparison document as a list: a row per entry, its text made when it is shown
// (set B's in B's own scale), so that a list of millions of entries costs what its data does.
class TEntryModel : public QAbstractListModel
{
    Q_OBJECT

public:
    TEntryModel(const TComparisonDocument *document, int set, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    // The list text of an entry: "%1, %2, %3", fields 10, 10 and 8 wide at 4 decimals (one
    // wider for each decimal more), C locale.
    static QString Display_Text(const Type::TEntryItem &item,
                                int decimals = NumberText::Least_Decimals);
    // Set_Decimals' choice of as many decimals as the set's entries carry (4 to 9).
    static constexpr int Automatic = 0;
    // The decimals of the texts: Automatic (at first), or 4 and more.
    void Set_Decimals(int decimals);
    // The decimals the texts are shown with now.
    int Decimals() const { return d_shown; }

private:
    // The decimals the rows carry, from first to last, at least those given.
    int Carried_Decimals(int first, int last, int least) const;
    // Shows the texts with decimals, all rows anew when that changes them.
    void Show_Decimals(int decimals);

    const TComparisonDocument *d_document;
    int d_set;
    int d_decimals; // as chosen
    int d_shown;    // as shown
};

#endif
