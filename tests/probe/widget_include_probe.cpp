// Must not compile against the computation library alone: it has no Qt Widgets.
#include "src/compute/comparison.h"

#include <QWidget>

int Probe() { return sizeof(QWidget); }
