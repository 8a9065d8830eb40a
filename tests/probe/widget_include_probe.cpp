// Must not compile against the computation library or the documents library alone: neither has
// Qt Widgets.
#include "src/compute/comparison.h"

#include <QWidget>

int Probe() { return sizeof(QWidget); }
