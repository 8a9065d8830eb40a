#ifndef QUORVAL_CORE_BASE_ASSERTION_H
#define QUORVAL_CORE_BASE_ASSERTION_H

// Guards programming errors only (null output pointers, indices beyond the end, broken
// invariants). Active in every build type: a failed check prints the condition text, the source
// file relative to the repository root without extension (e.g. "core/base/vector2"), the line and
// the full signature of the function, then aborts.

[[noreturn]] void Quorval_Assertion_Failed(const char *condition, const char *file, int line,
                                           const char *function);

#define QUORVAL_ASSERT(condition)                                                                  \
    ((condition) ? static_cast<void>(0)                                                            \
                 : Quorval_Assertion_Failed(#condition, __FILE__, __LINE__, __PRETTY_FUNCTION__))

#endif
