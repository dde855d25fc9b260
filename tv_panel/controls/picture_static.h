// A static that paints one bitmap resource masked: the bitmap holds two halves side by side, the
// right one OR-ed onto the background and the left one then AND-ed over it.
#ifndef QELTVBTV_PICTURE_STATIC_H
#define QELTVBTV_PICTURE_STATIC_H

#include "static_control.h"

class CPictureStatic : public CStatic {
 public:
  explicit CPictureStatic(UINT bitmapId);
  ~CPictureStatic() override;

 protected:
  void OnPaint() override;

 private:
  UINT m_bitmapId;
  HBITMAP m_bitmap;
};

#endif
