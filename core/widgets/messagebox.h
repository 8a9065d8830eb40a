#ifndef QUORVAL_CORE_WIDGETS_MESSAGEBOX_H
#define QUORVAL_CORE_WIDGETS_MESSAGEBOX_H

#include <QMessageBox>

class QResizeEvent;
class QShowEvent;

// The program's message dialog: a fixed-width QMessageBox whose main text is bold and whose
// informative text is normal weight, both as rich text. One instance is reused for every question
// and error, so each use sets text, informative text, detailed text, buttons, default button and
// icon anew.
class TMessageBox : public QMessageBox
{
public:
    explicit TMessageBox(const QWidget *parent);
    ~TMessageBox() override;

    int exec() override;

    // Hide QMessageBox's non-virtual setters of the same names: the text is wrapped in a span.
    // Markup in the text is not escaped and is interpreted as rich text.
    virtual void setText(const QString &text);
    virtual void setInformativeText(const QString &text);
    // Hides QMessageBox's as well: Show Details lays out a long text for minutes, so a line
    // beyond Most_Detail_Line_Characters and a text beyond Most_Detail_Characters are cut there,
    // and the cut says so and how long the whole was.
    virtual void setDetailedText(const QString &text);

    static constexpr int Most_Detail_Line_Characters = 1000;
    static constexpr int Most_Detail_Characters = 20000;

    // Posts a press and a release of key to the box itself (for driving a modal box from code).
    void Send_Key(int key);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    int d_message_width;
};

#endif
