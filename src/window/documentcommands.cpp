#include "src/window/documentcommands.h"

#include <QUndoStack>

#include <new>
#include <utility>

namespace {

// The id under which the fields typed right after "+" join its Add Entry.
constexpr int Typed_Entry_Id = 1;

} // namespace

TDocumentCommand::TDocumentCommand(TComparisonDocument *document, const QString &text)
    : QUndoCommand(text), d_document(document)
{
}

bool TDocumentCommand::Push(QUndoStack *stack, TDocumentCommand *command)
{
    if (Running()) {
        delete command;
        return false;
    }
    stack->push(command);
    return !Take_Out_Of_Memory();
}

bool TDocumentCommand::Take_Out_Of_Memory()
{
    const bool out = s_out_of_memory;
    s_out_of_memory = false;
    return out;
}

void TDocumentCommand::Run(bool redo)
{
    const struct TRunning
    {
        TRunning() { ++s_running; }
        ~TRunning() { --s_running; }
    } running;
    try {
        if (!TComparisonDocument::Room_For(Entries_Added(redo)))
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

TEditEntryCommand::TEditEntryCommand(TComparisonDocument *document, int set, int row,
                                     const Type::TEntryItem &before,
                                     const Type::TEntryItem &after, bool typed)
    : TDocumentCommand(document, QStringLiteral("Edit Entry")), d_set(set), d_row(row),
      d_before(before), d_after(after), d_typed(typed)
{
}

int TEditEntryCommand::id() const { return d_typed ? Typed_Entry_Id : -1; }

void TEditEntryCommand::Redo() { Document()->Set_Entry(d_set, d_row, d_after); }

void TEditEntryCommand::Undo() { Document()->Set_Entry(d_set, d_row, d_before); }

TInsertEntriesCommand::TInsertEntriesCommand(TComparisonDocument *document, int set,
                                             TComparisonDocument::TRows rows,
                                             const QString &text, bool typed)
    : TDocumentCommand(document, text), d_set(set), d_rows(std::move(rows)), d_typed(typed)
{
}

int TInsertEntriesCommand::id() const { return d_typed ? Typed_Entry_Id : -1; }

bool TInsertEntriesCommand::mergeWith(const QUndoCommand *other)
{
    const TEditEntryCommand *edit = dynamic_cast<const TEditEntryCommand *>(other);
    if (edit == nullptr || edit->Set() != d_set || d_rows.size() != 1 ||
        edit->Row() != d_rows.front().first)
        return false;
    d_rows.front().second = edit->After();
    return true;
}

void TInsertEntriesCommand::Redo() { Document()->Insert_Entries(d_set, d_rows); }

void TInsertEntriesCommand::Undo() { Document()->Remove_Entries(d_set, d_rows); }

TRemoveEntriesCommand::TRemoveEntriesCommand(TComparisonDocument *document, int set,
                                             TComparisonDocument::TRows rows)
    : TDocumentCommand(document, QStringLiteral("Remove Entries")), d_set(set),
      d_rows(std::move(rows))
{
}

void TRemoveEntriesCommand::Redo() { Document()->Remove_Entries(d_set, d_rows); }

void TRemoveEntriesCommand::Undo() { Document()->Insert_Entries(d_set, d_rows); }

TStateCommand::TStateCommand(TComparisonDocument *document, const QString &text,
                             TComparisonDocument::TSnapshot before,
                             TComparisonDocument::TSnapshot after, bool forget_file)
    : TDocumentCommand(document, text), d_before(std::move(before)), d_after(std::move(after)),
      d_forget_file(forget_file), d_file_name(document->File_Name()),
      d_file_checksum(document->File_Checksum())
{
}

void TStateCommand::Redo()
{
    Document()->Restore(d_after);
    if (d_forget_file)
        Document()->Forget_File();
}

void TStateCommand::Undo()
{
    Document()->Restore(d_before);
    if (d_forget_file)
        Document()->Recall_File(d_file_name, d_file_checksum);
}

std::size_t TStateCommand::Entries_Added(bool redo) const
{
    // The sets that change come into the comparison and its graphs anew.
    const TComparisonDocument::TSnapshot &state = redo ? d_after : d_before;
    const TComparisonDocument::TSnapshot &other = redo ? d_before : d_after;
    std::size_t added = 0;
    for (const int set : {TComparisonDocument::SET_A, TComparisonDocument::SET_B})
        if (state.entries[set] != other.entries[set])
            added += state.entries[set]->size();
    return added;
}
