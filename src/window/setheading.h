#ifndef QUORVAL_SRC_WINDOW_SETHEADING_H
#define QUORVAL_SRC_WINDOW_SETHEADING_H

#include <QString>
#include <QWidget>

// The heading of a data set's list: its name in bold and, when the comparison describes the set,
// the description after a dash, cut with an ellipsis where the width ends (the whole text is the
// tool tip). One line high, so that it costs the entry lists little room.
class TSetHeading : public QWidget
{
public:
    TSetHeading(const QString &name, QWidget *parent);

    void Set_Description(const QString &description);
    // The whole heading as one line of text.
    QString Text() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QFont Name_Font() const;

    QString d_name;
    QString d_description;
};

#endif
