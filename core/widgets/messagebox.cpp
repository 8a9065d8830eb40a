#include "core/widgets/messagebox.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QResizeEvent>
#include <QShowEvent>

TMessageBox::TMessageBox(const QWidget *parent)
    : QMessageBox(const_cast<QWidget *>(parent)), d_message_width(500)
{
    setTextFormat(Qt::RichText);
    // No icons on the standard buttons; button layout 1 orders them like QDialogButtonBox's
    // MacLayout.
    setStyleSheet("dialogbuttonbox-buttons-have-icons: 0;\nbutton-layout: 1;");
}

TMessageBox::~TMessageBox() = default;

int TMessageBox::exec() { return QDialog::exec(); }

void TMessageBox::setText(const QString &text)
{
    QMessageBox::setText(
        QString("<span style=\"font-size:10pt; font-weight:600; color:#000000;\" >%1</span>")
            .arg(text));
}

void TMessageBox::setInformativeText(const QString &text)
{
    QMessageBox::setInformativeText(
        QString("<span style=\"font-size:10pt; font-weight:400; color:#000000;\" >%1</span>")
            .arg(text));
}

void TMessageBox::setDetailedText(const QString &text)
{
    const auto Cut = [](const QStringRef &kept, int whole, const char *what) {
        return kept + QStringLiteral("\u2026 (%1 cut at %2 of its %3 characters)")
                          .arg(QLatin1String(what))
                          .arg(kept.size())
                          .arg(whole);
    };
    QString shown;
    for (const QStringRef &line : text.splitRef(QLatin1Char('\n'))) {
        if (shown.size() > Most_Detail_Characters)
            break;
        if (line.position() > 0)
            shown += QLatin1Char('\n');
        shown += line.size() > Most_Detail_Line_Characters
                     ? Cut(line.left(Most_Detail_Line_Characters), line.size(), "line")
                     : line.toString();
    }
    if (shown.size() > Most_Detail_Characters)
        shown = Cut(shown.leftRef(Most_Detail_Characters), text.size(), "text");
    QMessageBox::setDetailedText(shown);
}

void TMessageBox::Send_Key(int key)
{
    QCoreApplication::postEvent(
        this, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, QString(), false, 1),
        Qt::NormalEventPriority);
    QCoreApplication::postEvent(
        this, new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier, QString(), false, 1),
        Qt::NormalEventPriority);
}

// QMessageBox recomputes its width from the texts on every show and resize; fixing it again each
// time makes long texts wrap instead of widening the box.
void TMessageBox::resizeEvent(QResizeEvent *event)
{
    QMessageBox::resizeEvent(event);
    setFixedWidth(d_message_width);
}

void TMessageBox::showEvent(QShowEvent *event)
{
    QMessageBox::showEvent(event);
    setFixedWidth(d_message_width);
}
