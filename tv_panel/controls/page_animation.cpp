#include "page_animation.h"

BOOL CPageAnimation::Play(UINT from, UINT to, UINT repeat) {
  if (m_playing) {
    return 1;
  }
  m_repeatCount = repeat;
  return static_cast<BOOL>(SendMessage(ACM_PLAY, repeat, MAKELONG(from, to)));
}

BOOL CPageAnimation::Seek(UINT frame) {
  if (frame >= m_lastFrame) {
    if (m_atEnd) {
      return 1;
    }
    m_atEnd = TRUE;
    frame = m_lastFrame;
  }
  return static_cast<BOOL>(SendMessage(ACM_PLAY, 0, MAKELONG(frame, frame)));
}

void CPageAnimation::Started() {
  m_atEnd = FALSE;
  m_playing = TRUE;
}

void CPageAnimation::Stopped() {
  m_playing = FALSE;
  m_atEnd = TRUE;
}
