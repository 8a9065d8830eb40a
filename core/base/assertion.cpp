#include "core/base/assertion.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// "/home/u/quorval/core/base/vector2.cpp" -> "core/base/vector2"
std::string Relative_Source_Name(const char *file)
{
    std::string name(file ? file : "");
#ifdef QUORVAL_SOURCE_ROOT
    const std::string root(QUORVAL_SOURCE_ROOT);
    if (name.compare(0, root.size(), root) == 0)
        name.erase(0, root.size());
#endif
    const std::string::size_type slash = name.find_last_of('/');
    const std::string::size_type dot = name.find_last_of('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        name.erase(dot);
    return name;
}

} // namespace

void Quorval_Assertion_Failed(const char *condition, const char *file, int line,
                              const char *function)
{
    std::fflush(stdout);
    std::fprintf(stderr, "ASSERT: \"%s\" in %s, line %d, function: %s\n", condition,
                 Relative_Source_Name(file).c_str(), line, function);
    std::fflush(stderr);
    std::abort();
}
