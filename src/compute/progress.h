#ifndef QUORVAL_SRC_COMPUTE_PROGRESS_H
#define QUORVAL_SRC_COMPUTE_PROGRESS_H

#include <QtGlobal>

#include <functional>

// Long work (a record's pages, a large file) tells how far it has come by calling a report
// function now and then with the work done and the whole work, in a unit of its own. The function
// returns false when the work is to stop (the user cancelled it): the work then ends at once,
// without a result and without changing anything. An empty function is never called.
namespace Progress {

using TReport = std::function<bool(qint64 done, qint64 total)>;

// Items (entries, lines) that a loop over many handles between two reports: a few dozen reports a
// second, each a cost of nothing beside the items handled in between.
constexpr qint64 Items_Between_Reports = 4096;

// Whether the work goes on after reporting done of total.
inline bool Go_On(const TReport &report, qint64 done, qint64 total)
{
    return !report || report(done, total);
}

} // namespace Progress

#endif
