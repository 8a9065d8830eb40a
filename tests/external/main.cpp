#include "core/base/interpolation.h"

#include <cstdio>

int main()
{
    double value = 0.0;
    const bool ok = Extrapolation::Get_Value({{0.0, 0.0}, {10.0, 10.0}}, 2.5, &value);
    std::printf("%s %.3f\n", ok ? "ok" : "failed", value);
    return ok && value == 2.5 ? 0 : 1;
}
