// Whether a board of the family drives any display of the machine.
#ifndef QELTVBTV_BOARD_CHECK_H
#define QELTVBTV_BOARD_CHECK_H

// 1 when a board display is found, 0 otherwise. It works on a temporary page object, whose
// destruction puts the saved gamma of every display it found back into the drivers.
int IsBoardPresent();

#endif
