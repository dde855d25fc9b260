// An animation control taken over from a dialog: the common controls' messages as calls.
#ifndef QELTVBTV_ANIMATE_CONTROL_H
#define QELTVBTV_ANIMATE_CONTROL_H

#include <windows.h>

#include <commctrl.h>

#include "window.h"

class CAnimateCtrl : public CWindow {
 public:
  // Opens the AVI resource `id` of the module's current resources.
  BOOL Open(UINT id);
  // Frames from..to (0xFFFF: the clip's end), `repeat` times (-1: for ever).
  BOOL Play(UINT from, UINT to, UINT repeat) {
    return static_cast<BOOL>(SendMessage(ACM_PLAY, repeat, MAKELONG(from, to)));
  }
  BOOL Stop() { return static_cast<BOOL>(SendMessage(ACM_STOP)); }
};

#endif
