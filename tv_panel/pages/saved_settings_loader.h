// Puts the gamma saved for every board display back into its driver, without a window.
#ifndef QELTVBTV_SAVED_SETTINGS_LOADER_H
#define QELTVBTV_SAVED_SETTINGS_LOADER_H

void LoadSavedSettings();

#endif
