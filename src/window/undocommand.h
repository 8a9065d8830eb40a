#ifndef QUORVAL_SRC_WINDOW_UNDOCOMMAND_H
#define QUORVAL_SRC_WINDOW_UNDOCOMMAND_H

#include "src/window/entrywidget.h"

#include <QString>
#include <QUndoCommand>
#include <QUndoStack>

#include <cstddef>
#include <new>

// The base of the lists' undo commands.
//
// A command changes lists and selections, and a field that loses the focus or is emptied by that
// finishes an edit; such an edit must not be pushed while the command runs: the push would delete
// the command being redone, or put an edit between an undone command and its redo.
//
// A command that would add more entries than memory has room for changes nothing: its redo or
// undo is not run, and Take_Out_Of_Memory() tells the caller afterwards (as it does when a
// std::bad_alloc comes out of a redo or undo). The stack drops a command whose redo failed; after
// a failed undo the caller clears the history, whose index no longer matches the lists.
class TUndoCommand : public QUndoCommand
{
public:
    explicit TUndoCommand(const QString &text) : QUndoCommand(text) {}

    void redo() final { Run(true); }
    void undo() final { Run(false); }

    // Whether a command's redo or undo is running now.
    static bool Running() { return s_running > 0; }
    // Pushes command (taking it over) unless a command is running; false when it was dropped,
    // because one was running or memory ran out.
    static bool Push(QUndoStack *stack, TUndoCommand *command)
    {
        if (Running()) {
            delete command;
            return false;
        }
        stack->push(command);
        return !Take_Out_Of_Memory();
    }
    // Whether a redo or undo ran out of memory since the last call; clears that.
    static bool Take_Out_Of_Memory()
    {
        const bool out = s_out_of_memory;
        s_out_of_memory = false;
        return out;
    }

protected:
    virtual void Redo() = 0;
    virtual void Undo() = 0;
    // How many entries the redo or the undo puts into the lists.
    virtual std::size_t Entries_Added(bool redo) const = 0;

private:
    void Run(bool redo)
    {
        const struct TRunning
        {
            TRunning() { ++s_running; }
            ~TRunning() { --s_running; }
        } running;
        try {
            if (!TEntryWidget::Room_For(Entries_Added(redo)))
                throw std::bad_alloc();
            if (redo)
                Redo();
            else
                Undo();
        } catch (const std::bad_alloc &) {
            s_out_of_memory = true;
            if (redo)
                setObsolete(true);
        }
    }

    // All use is on the GUI thread.
    static inline int s_running = 0;
    static inline bool s_out_of_memory = false;
};

#endif
