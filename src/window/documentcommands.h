#ifndef QUORVAL_SRC_WINDOW_DOCUMENTCOMMANDS_H
#define QUORVAL_SRC_WINDOW_DOCUMENTCOMMANDS_H

#include "src/compute/comparisondocument.h"

#include <QString>
#include <QUndoCommand>

#include <cstddef>

class QUndoStack;

// The base of the undo commands: each changes a comparison document, and nothing else.
//
// A change of the document can finish an edit still open in a field (its focus moves), which
// must not be pushed while the command runs: the push would delete the command being redone,
// or put an edit between an undone command and its redo.
//
// A command that would add more entries than memory has room for changes nothing: its redo or
// undo is not run, and Take_Out_Of_Memory() tells the caller afterwards (as it does when a
// std::bad_alloc comes out of a redo or undo). The stack drops a command whose redo failed;
// after a failed undo the caller clears the history, whose index no longer matches the data.
class TDocumentCommand : public QUndoCommand
{
public:
    TDocumentCommand(TComparisonDocument *document, const QString &text);

    void redo() final { Run(true); }
    void undo() final { Run(false); }

    // Whether a command's redo or undo is running now.
    static bool Running() { return s_running > 0; }
    // Pushes command (taking it over) unless a command is running; false when it was dropped,
    // because one was running or memory ran out.
    static bool Push(QUndoStack *stack, TDocumentCommand *command);
    // Whether a redo or undo ran out of memory since the last call; clears that.
    static bool Take_Out_Of_Memory();

protected:
    TComparisonDocument *Document() const { return d_document; }
    virtual void Redo() = 0;
    virtual void Undo() = 0;
    // How many entries the redo or the undo puts into the document.
    virtual std::size_t Entries_Added(bool redo) const = 0;

private:
    void Run(bool redo);

    TComparisonDocument *d_document;
    // All use is on the GUI thread.
    static inline int s_running = 0;
    static inline bool s_out_of_memory = false;
};

// One entry's values changed (its stored values). An edit typed right after "+" (typed) merges
// into that Add Entry.
class TEditEntryCommand : public TDocumentCommand
{
public:
    TEditEntryCommand(TComparisonDocument *document, int set, int row,
                      const Type::TEntryItem &before, const Type::TEntryItem &after, bool typed);
    int id() const override;
    int Set() const { return d_set; }
    int Row() const { return d_row; }
    const Type::TEntryItem &After() const { return d_after; }

protected:
    void Redo() override;
    void Undo() override;
    std::size_t Entries_Added(bool) const override { return 0; }

private:
    int d_set;
    int d_row;
    Type::TEntryItem d_before;
    Type::TEntryItem d_after;
    bool d_typed;
};

// Entries put in at their rows ("+", paste); undone by taking them out again. The entry of "+"
// (typed) takes in the edits of its fields typed right after it: one step to undo.
class TInsertEntriesCommand : public TDocumentCommand
{
public:
    TInsertEntriesCommand(TComparisonDocument *document, int set, TComparisonDocument::TRows rows,
                          const QString &text, bool typed = false);
    int id() const override;
    bool mergeWith(const QUndoCommand *other) override;

protected:
    void Redo() override;
    void Undo() override;
    std::size_t Entries_Added(bool redo) const override { return redo ? d_rows.size() : 0; }

private:
    int d_set;
    TComparisonDocument::TRows d_rows;
    bool d_typed;
};

// Entries taken out ("-", Delete); undone by putting them back where they were.
class TRemoveEntriesCommand : public TDocumentCommand
{
public:
    TRemoveEntriesCommand(TComparisonDocument *document, int set, TComparisonDocument::TRows rows);

protected:
    void Redo() override;
    void Undo() override;
    std::size_t Entries_Added(bool redo) const override { return redo ? 0 : d_rows.size(); }

private:
    int d_set;
    TComparisonDocument::TRows d_rows;
};

// A change of whole sets, the offset, the settings or the details (New, Import, an offset,
// Options, Comparison Details): the states before and after, which share their sets with the
// document, so that Undo puts back every bit without computing anything. New (forget_file)
// also forgets the file last opened or saved, and its Undo takes it back.
class TStateCommand : public TDocumentCommand
{
public:
    TStateCommand(TComparisonDocument *document, const QString &text,
                  TComparisonDocument::TSnapshot before, TComparisonDocument::TSnapshot after,
                  bool forget_file = false);

protected:
    void Redo() override;
    void Undo() override;
    std::size_t Entries_Added(bool redo) const override;

private:
    TComparisonDocument::TSnapshot d_before;
    TComparisonDocument::TSnapshot d_after;
    bool d_forget_file;
    QString d_file_name;
    QString d_file_checksum;
};

#endif
