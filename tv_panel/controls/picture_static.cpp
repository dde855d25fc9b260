#include "picture_static.h"

#include "module_state.h"

CPictureStatic::CPictureStatic(UINT bitmapId)
    : m_bitmapId(bitmapId),
      m_bitmap(LoadBitmapA(GetCurrentResourceHandle(), MAKEINTRESOURCEA(bitmapId))) {}

CPictureStatic::~CPictureStatic() {
  if (m_bitmap != nullptr) {
    DeleteObject(m_bitmap);
  }
}

void CPictureStatic::OnPaint() {
  PAINTSTRUCT paint;
  const HDC dc = BeginPaint(m_hWnd, &paint);
  BITMAP size = {};
  // Without its bitmap there is nothing to paint with.
  if (m_bitmap != nullptr && GetObjectA(m_bitmap, sizeof size, &size) != 0) {
    const HDC memory = CreateCompatibleDC(dc);
    SetMapMode(memory, GetMapMode(dc));
    const HGDIOBJ previous = SelectObject(memory, m_bitmap);
    const int half = size.bmWidth / 2;
    POINT left[2] = {{0, 0}, {half, size.bmHeight - 1}};
    POINT right[2] = {{half, 0}, {size.bmWidth - 1, size.bmHeight - 1}};
    DPtoLP(dc, left, 2);
    DPtoLP(dc, right, 2);
    BitBlt(dc, 0, 0, left[1].x, left[1].y, memory, right[0].x, right[0].y, SRCPAINT);
    BitBlt(dc, 0, 0, left[1].x, left[1].y, memory, left[0].x, left[0].y, SRCAND);
    SelectObject(memory, previous);
    DeleteDC(memory);
  }
  EndPaint(m_hWnd, &paint);
}
