#include "surface_conversion.h"

#include "dxt_encoder.h"

namespace qelt {
namespace {

bool block_format(D3DFORMAT format, dxt::Format* block) {
  switch (format) {
    case D3DFMT_DXT1:
      *block = dxt::Format::kDxt1;
      return true;
    case D3DFMT_DXT3:
      *block = dxt::Format::kDxt3;
      return true;
    case D3DFMT_DXT5:
      *block = dxt::Format::kDxt5;
      return true;
    default:
      return false;
  }
}

int pixel_bytes(D3DFORMAT format) {
  switch (format) {
    case D3DFMT_A8R8G8B8:
      return 4;
    case D3DFMT_R8G8B8:
      return 3;
    default:
      return 0;
  }
}

bool punch_through(Dxt1Alpha reading, int source_bytes) {
  switch (reading) {
    case Dxt1Alpha::kOpaque:
      return false;
    case Dxt1Alpha::kPunchThrough:
      return true;
    default:
      return source_bytes == 4;
  }
}

}  // namespace

HRESULT QELT_STDCALL LoadSurfaceFromSurface(IDirect3DSurface8* destination, const PALETTEENTRY*,
                                            const RECT* destination_rect, IDirect3DSurface8* source,
                                            const PALETTEENTRY*, const RECT* source_rect, DWORD,
                                            D3DCOLOR color_key) {
  if (destination_rect != nullptr || source_rect != nullptr || color_key != 0)
    return D3DERR_INVALIDCALL;
  return load_surface_from_surface(destination, source, Dxt1Alpha::kBySource);
}

HRESULT load_surface_from_surface(IDirect3DSurface8* destination, IDirect3DSurface8* source,
                                  Dxt1Alpha dxt1_alpha) {
  if (destination == nullptr || source == nullptr) return D3DERR_INVALIDCALL;
  D3DSURFACE_DESC to{};
  D3DSURFACE_DESC from{};
  HRESULT result = destination->table->GetDesc(destination, &to);
  if (result != S_OK) return result;
  result = source->table->GetDesc(source, &from);
  if (result != S_OK) return result;

  dxt::Format block = dxt::Format::kDxt1;
  const int source_bytes = pixel_bytes(from.Format);
  if (!block_format(to.Format, &block) || source_bytes == 0 || to.Width != from.Width ||
      to.Height != from.Height || to.Width > 0x7FFFFFFF || to.Height > 0x7FFFFFFF) {
    return D3DERR_INVALIDCALL;
  }

  // Each surface is described again right before it is locked, as callers of this service expect.
  D3DLOCKED_RECT pixels{};
  result = source->table->GetDesc(source, &from);
  if (result != S_OK) return result;
  result = source->table->LockRect(source, &pixels, nullptr, D3DLOCK_READONLY | D3DLOCK_NOSYSLOCK);
  if (result != S_OK) return result;
  D3DLOCKED_RECT blocks{};
  result = destination->table->GetDesc(destination, &to);
  if (result == S_OK)
    result = destination->table->LockRect(destination, &blocks, nullptr, D3DLOCK_NOSYSLOCK);
  if (result != S_OK) {
    source->table->UnlockRect(source);
    return result;
  }
  if (to.Width != 0 && to.Height != 0) {
    dxt::encode_image(block, static_cast<const unsigned char*>(pixels.pBits), pixels.Pitch,
                      source_bytes, static_cast<int>(to.Width), static_cast<int>(to.Height),
                      static_cast<unsigned char*>(blocks.pBits), blocks.Pitch,
                      block == dxt::Format::kDxt1 && punch_through(dxt1_alpha, source_bytes));
  }
  destination->table->UnlockRect(destination);
  source->table->UnlockRect(source);
  return S_OK;
}

}  // namespace qelt
