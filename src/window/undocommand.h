#ifndef QUORVAL_SRC_WINDOW_UNDOCOMMAND_H
#define QUORVAL_SRC_WINDOW_UNDOCOMMAND_H

#include <QString>
#include <QUndoCommand>
#include <QUndoStack>

// The base of the lists' undo commands. A command changes lists and selections, and a field that
// loses the focus or is emptied by that finishes an edit; such an edit must not be pushed while
// the command runs: the push would delete the command being redone, or put an edit between an
// undone command and its redo.
class TUndoCommand : public QUndoCommand
{
public:
    explicit TUndoCommand(const QString &text) : QUndoCommand(text) {}

    void redo() final
    {
        const TRunning running;
        Redo();
    }
    void undo() final
    {
        const TRunning running;
        Undo();
    }

    // Whether a command's redo or undo is running now.
    static bool Running() { return s_running > 0; }
    // Pushes command (taking it over) unless a command is running; false when it was dropped.
    static bool Push(QUndoStack *stack, TUndoCommand *command)
    {
        if (Running()) {
            delete command;
            return false;
        }
        stack->push(command);
        return true;
    }

protected:
    virtual void Redo() = 0;
    virtual void Undo() = 0;

private:
    struct TRunning
    {
        TRunning() { ++s_running; }
        ~TRunning() { --s_running; }
        TRunning(const TRunning &) = delete;
        TRunning &operator=(const TRunning &) = delete;
    };
    // All use is on the GUI thread.
    static inline int s_running = 0;
};

#endif
