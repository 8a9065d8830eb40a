// Must not compile against the computation library alone: it has no Qt Widgets.
#include "src/comparison.h"

#include <QWidget>

int Probe() { return sizeof(QWidget); }
