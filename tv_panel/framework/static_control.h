// A static control taken over from a dialog.
#ifndef QELTVBTV_STATIC_CONTROL_H
#define QELTVBTV_STATIC_CONTROL_H

#include "window.h"

class CStatic : public CWindow {};

#endif
