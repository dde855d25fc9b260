// The page's animation control: plays the clip once on request, shows its last frame when the
// page is left, and follows the control's started and stopped notifications.
#ifndef QELTVBTV_PAGE_ANIMATION_H
#define QELTVBTV_PAGE_ANIMATION_H

#include "animate_control.h"

class CPageAnimation : public CAnimateCtrl {
 public:
  // Frames from..to (0xFFFF: the end), `repeat` times; refused (1) while the clip plays.
  BOOL Play(UINT from, UINT to, UINT repeat);
  // Shows one frame; a frame at or past the last shows the last, once until the clip plays again.
  BOOL Seek(UINT frame);
  void Started();
  void Stopped();
  void SetLastFrame(UINT index) { m_lastFrame = index; }

  BOOL IsPlaying() const { return m_playing; }
  BOOL IsAtEnd() const { return m_atEnd; }

 private:
  UINT m_lastFrame = 0;
  UINT m_repeatCount = 1;
  BOOL m_atEnd = FALSE;
  BOOL m_playing = FALSE;
};

#endif
