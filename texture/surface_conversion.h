// Encodes the image of one memory surface into another of the same size as S3TC blocks, with the
// call shape of the Direct3D 8 extension library's surface-to-surface load.
#pragma once

#include "memory_surface.h"

namespace qelt {

constexpr DWORD D3DX_DEFAULT = 0xFFFFFFFF;

// How a DXT1 destination treats alpha. The Direct3D call has no way to say which of the two GL
// readings of DXT1 is wanted, so it goes by the source: an A8R8G8B8 source is punched through.
enum class Dxt1Alpha { kBySource, kOpaque, kPunchThrough };

// Destination: "DXT1", "DXT3" or "DXT5"; source: D3DFMT_A8R8G8B8 or D3DFMT_R8G8B8 of the same
// width and height. Alpha below 128 in an A8R8G8B8 source makes DXT1 pixels transparent.
// Palettes and the filter are ignored; rectangles, a colour key, other formats or differing
// sizes give D3DERR_INVALIDCALL. A refused LockRect is returned as the result.
HRESULT QELT_STDCALL LoadSurfaceFromSurface(IDirect3DSurface8* destination,
                                            const PALETTEENTRY* destination_palette,
                                            const RECT* destination_rect, IDirect3DSurface8* source,
                                            const PALETTEENTRY* source_palette,
                                            const RECT* source_rect, DWORD filter,
                                            D3DCOLOR color_key);

// The same conversion for a caller that knows which DXT1 reading it wants: kOpaque never makes a
// pixel transparent, kPunchThrough makes exactly the pixels with alpha below 128 transparent.
HRESULT load_surface_from_surface(IDirect3DSurface8* destination, IDirect3DSurface8* source,
                                  Dxt1Alpha dxt1_alpha);

}  // namespace qelt
