#include "memory_surface.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace qelt {
namespace {

bool same_guid(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }

// An object's address is its interface address, so a match hands out the object itself.
template <class Object>
HRESULT query(Object* object, REFIID iid, const GUID& imitated, const GUID& own, void** result) {
  if (result == nullptr) return E_POINTER;
  if (same_guid(iid, kIidIUnknown) || same_guid(iid, imitated) || same_guid(iid, own)) {
    *result = object;
    ++object->references;
    return S_OK;
  }
  *result = nullptr;
  return E_NOINTERFACE;
}

void* allocate(std::size_t bytes) { return surface_allocator().allocate(bytes); }

void release(void* block) {
  if (block != nullptr) surface_allocator().release(block);
}

template <class Object>
Object* new_object() {
  void* block = allocate(sizeof(Object));
  return block == nullptr ? nullptr : new (block) Object();
}

// ---------------------------------------------------------------------------------------------
// Sizing

bool block_compressed(D3DFORMAT format) {
  const auto value = static_cast<std::int32_t>(format);
  return value >= static_cast<std::int32_t>(D3DFMT_DXT1) &&
         value <= static_cast<std::int32_t>(D3DFMT_DXT5);
}

UINT bits_per_pixel(D3DFORMAT format) {
  switch (format) {
    case D3DFMT_R8G8B8:
      return 24;
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
      return 32;
    case 23:  // R5G6B5
    case 24:  // X1R5G5B5
    case 25:  // A1R5G5B5
    case 26:  // A4R4G4B4
    case 29:  // A8R3G3B2
    case 30:  // X4R4G4B4
    case 40:  // A8P8
    case 51:  // A8L8
      return 16;
    case 27:  // R3G3B2
    case 28:  // A8
    case 41:  // P8
    case 50:  // L8
    case 52:  // A4L4
      return 8;
    case D3DFMT_DXT1:
      return 4;
    case D3DFMT_DXT2:
    case D3DFMT_DXT3:
    case D3DFMT_DXT4:
    case D3DFMT_DXT5:
      return 8;
    default:
      return 0;
  }
}

// Block-compressed images are stored as whole 4x4 blocks, so a dimension counts as rounded up to
// a multiple of 4, and never less than 4.
UINT counted(D3DFORMAT format, UINT extent) {
  if (!block_compressed(format)) return extent;
  return extent <= 4 ? 4 : (extent + 3) & ~3u;
}

bool multiply(UINT a, UINT b, UINT* product) {
  if (a != 0 && b > UINT32_MAX / a) return false;
  *product = a * b;
  return true;
}

// Size in bytes, or false when the extents are negative or a product leaves 32 bits. The row
// product is checked as well because LockRect derives the pitch from it.
bool image_size(D3DFORMAT format, INT width, INT height, UINT* size) {
  if (width < 0 || height < 0) return false;
  UINT row = 0;
  UINT total = 0;
  if (!multiply(bits_per_pixel(format), counted(format, static_cast<UINT>(width)), &row) ||
      !multiply(row, counted(format, static_cast<UINT>(height)), &total)) {
    return false;
  }
  *size = total >> 3;
  return true;
}

UINT capacity_for(UINT size) { return size < 16 ? 16 : size; }

void describe(MemorySurface* surface, D3DFORMAT format, INT width, INT height, UINT size) {
  surface->desc.Format = format;
  surface->desc.Type = D3DRTYPE_SURFACE;
  surface->desc.Usage = 0;
  surface->desc.Pool = D3DPOOL_MANAGED;
  surface->desc.Size = size;
  surface->desc.MultiSampleType = D3DMULTISAMPLE_NONE;
  surface->desc.Width = static_cast<UINT>(width);
  surface->desc.Height = static_cast<UINT>(height);
  surface->bits_per_pixel = bits_per_pixel(format);
}

// ---------------------------------------------------------------------------------------------
// SurfaceDirect3D

namespace direct3d {

SurfaceDirect3D* from(IDirect3D8* self) { return reinterpret_cast<SurfaceDirect3D*>(self); }

HRESULT QELT_STDCALL QueryInterface(IDirect3D8* self, REFIID iid, void** result) {
  return query(from(self), iid, kIidIDirect3D8, kClsidSurfaceDirect3D, result);
}

ULONG QELT_STDCALL AddRef(IDirect3D8* self) { return ++from(self)->references; }

ULONG QELT_STDCALL Release(IDirect3D8* self) {
  SurfaceDirect3D* object = from(self);
  if (--object->references != 0) return object->references;
  release(object);
  return 0;
}

UINT QELT_STDCALL GetAdapterCount(IDirect3D8*) { return 1; }

UINT QELT_STDCALL GetAdapterModeCount(IDirect3D8*, UINT) { return 1; }

HRESULT QELT_STDCALL CreateDevice(IDirect3D8*, UINT, D3DDEVTYPE, HWND, DWORD,
                                  D3DPRESENT_PARAMETERS*, IDirect3DDevice8** result) {
  if (result == nullptr) return D3DERR_INVALIDCALL;
  SurfaceDevice* device = create_surface_device();
  if (device == nullptr) {
    *result = nullptr;
    return E_OUTOFMEMORY;
  }
  *result = &device->com;
  return S_OK;
}

}  // namespace direct3d

// ---------------------------------------------------------------------------------------------
// SurfaceDevice

namespace device {

SurfaceDevice* from(IDirect3DDevice8* self) { return reinterpret_cast<SurfaceDevice*>(self); }

HRESULT QELT_STDCALL QueryInterface(IDirect3DDevice8* self, REFIID iid, void** result) {
  return query(from(self), iid, kIidIDirect3DDevice8, kClsidSurfaceDevice, result);
}

ULONG QELT_STDCALL AddRef(IDirect3DDevice8* self) { return ++from(self)->references; }

ULONG QELT_STDCALL Release(IDirect3DDevice8* self) {
  SurfaceDevice* object = from(self);
  if (--object->references != 0) return object->references;
  release(object);
  return 0;
}

UINT QELT_STDCALL GetAvailableTextureMem(IDirect3DDevice8*) { return 1; }

HRESULT QELT_STDCALL GetDirect3D(IDirect3DDevice8*, IDirect3D8** result) {
  if (result == nullptr) return D3DERR_INVALIDCALL;
  IDirect3D8* root = surface_objects().root;
  *result = root;
  if (root == nullptr) return D3DERR_INVALIDCALL;
  root->table->AddRef(root);
  return S_OK;
}

// Refusing makes the conversion service convert through locked memory.
HRESULT QELT_STDCALL CopyRects(IDirect3DDevice8*, IDirect3DSurface8*, const RECT*, UINT,
                               IDirect3DSurface8*, const POINT*) {
  return D3DERR_INVALIDCALL;
}

}  // namespace device

// Every idle method answers 0 (S_OK, FALSE, null) and writes nothing.
#define QELT_IDLE_own(result, name, parameters)
#define QELT_IDLE_idle(result, name, parameters) \
  result QELT_STDCALL name parameters { return result(); }
#define QELT_IDLE(kind, result, name, parameters) QELT_IDLE_##kind(result, name, parameters)

namespace direct3d {
QELT_DIRECT3D8_METHODS(QELT_IDLE)
}  // namespace direct3d

namespace device {
QELT_DEVICE8_METHODS(QELT_IDLE)
}  // namespace device

#undef QELT_IDLE
#undef QELT_IDLE_idle
#undef QELT_IDLE_own

#define QELT_DIRECT3D_SLOT(kind, result, name, parameters) &direct3d::name,
const IDirect3D8Table kDirect3DTable = {QELT_DIRECT3D8_METHODS(QELT_DIRECT3D_SLOT)};
#undef QELT_DIRECT3D_SLOT

#define QELT_DEVICE_SLOT(kind, result, name, parameters) &device::name,
const IDirect3DDevice8Table kDeviceTable = {QELT_DEVICE8_METHODS(QELT_DEVICE_SLOT)};
#undef QELT_DEVICE_SLOT

// ---------------------------------------------------------------------------------------------
// MemorySurface

namespace surface {

MemorySurface* from(IDirect3DSurface8* self) { return reinterpret_cast<MemorySurface*>(self); }

HRESULT QELT_STDCALL QueryInterface(IDirect3DSurface8* self, REFIID iid, void** result) {
  return query(from(self), iid, kIidIDirect3DSurface8, kClsidMemorySurface, result);
}

ULONG QELT_STDCALL AddRef(IDirect3DSurface8* self) { return ++from(self)->references; }

ULONG QELT_STDCALL Release(IDirect3DSurface8* self) {
  MemorySurface* object = from(self);
  if (--object->references != 0) return object->references;
  release(object->own_buffer);
  release(object);
  return 0;
}

// The process-wide device, not the surface's creator.
HRESULT QELT_STDCALL GetDevice(IDirect3DSurface8*, IDirect3DDevice8** result) {
  if (result == nullptr) return D3DERR_INVALIDCALL;
  IDirect3DDevice8* device = surface_objects().device;
  *result = device;
  if (device == nullptr) return D3DERR_INVALIDCALL;
  device->table->AddRef(device);
  return S_OK;
}

HRESULT QELT_STDCALL SetPrivateData(IDirect3DSurface8*, REFGUID, const void*, DWORD, DWORD) {
  return D3DERR_INVALIDCALL;
}

HRESULT QELT_STDCALL GetPrivateData(IDirect3DSurface8*, REFGUID, void*, DWORD*) {
  return D3DERR_INVALIDCALL;
}

HRESULT QELT_STDCALL FreePrivateData(IDirect3DSurface8*, REFGUID) { return D3DERR_INVALIDCALL; }

HRESULT QELT_STDCALL GetContainer(IDirect3DSurface8*, REFIID, void**) { return D3DERR_INVALIDCALL; }

HRESULT QELT_STDCALL GetDesc(IDirect3DSurface8* self, D3DSURFACE_DESC* desc) {
  if (desc == nullptr) return D3DERR_INVALIDCALL;
  *desc = from(self)->desc;
  return S_OK;
}

// Its first pixel too: an empty rectangle on the far edge would start past the buffer.
bool inside(const RECT& rect, UINT width, UINT height) {
  return rect.left >= 0 && rect.top >= 0 && rect.left <= rect.right && rect.top <= rect.bottom &&
         static_cast<UINT>(rect.right) <= width && static_cast<UINT>(rect.bottom) <= height &&
         static_cast<UINT>(rect.left) < width && static_cast<UINT>(rect.top) < height;
}

// The count rises before any check, so a refused lock still wants its UnlockRect. Rectangles
// reaching outside the stored image are refused rather than handed an address past the buffer.
HRESULT QELT_STDCALL LockRect(IDirect3DSurface8* self, D3DLOCKED_RECT* locked, const RECT* rect,
                              DWORD) {
  MemorySurface* surface = from(self);
  ++surface->locks;
  if (locked == nullptr) return D3DERR_INVALIDCALL;
  const D3DFORMAT format = surface->desc.Format;
  const UINT bits_per_pixel = surface->bits_per_pixel;
  const UINT width = surface->desc.Width;
  const UINT height = surface->desc.Height;
  locked->pBits = surface->bits;
  if (block_compressed(format)) {
    const UINT pitch = bits_per_pixel * counted(format, width) >> 1;
    locked->Pitch = static_cast<INT>(pitch);
    if (rect == nullptr) return S_OK;
    const bool on_grid = (rect->left & 3) == 0 && (rect->top & 3) == 0 &&
                         (static_cast<UINT>(rect->right) == width || (rect->right & 3) == 0) &&
                         (static_cast<UINT>(rect->bottom) == height || (rect->bottom & 3) == 0);
    if (!on_grid || !inside(*rect, counted(format, width), counted(format, height))) {
      return D3DERR_INVALIDCALL;
    }
    const UINT block_bytes = 2 * bits_per_pixel;
    locked->pBits = surface->bits + static_cast<std::size_t>(rect->top / 4) * pitch +
                    static_cast<std::size_t>(rect->left / 4) * block_bytes;
    return S_OK;
  }
  locked->Pitch = static_cast<INT>(bits_per_pixel * width >> 3);
  if (rect == nullptr) return S_OK;
  if (!inside(*rect, width, height)) return D3DERR_INVALIDCALL;
  const std::size_t first_pixel = static_cast<std::size_t>(rect->top) * width + rect->left;
  locked->pBits = surface->bits + (first_pixel * bits_per_pixel >> 3);
  return S_OK;
}

HRESULT QELT_STDCALL UnlockRect(IDirect3DSurface8* self) {
  MemorySurface* surface = from(self);
  if (surface->locks == 0) return D3DERR_INVALIDCALL;
  --surface->locks;
  return S_OK;
}

HRESULT QELT_STDCALL LoadGLPixels(MemorySurface* surface, GLenum format, const void* pixels) {
  if (pixels == nullptr) return D3DERR_INVALIDCALL;
  UINT source_bytes = 0;
  bool red_first = false;
  switch (format) {
    case kGlRgba:
      source_bytes = 4;
      red_first = true;
      break;
    case kGlRgb:
      source_bytes = 3;
      red_first = true;
      break;
    case kGlBgraExt:
      source_bytes = 4;
      break;
    case kGlBgrExt:
      source_bytes = 3;
      break;
    default:
      return S_OK;
  }
  if (surface->bits_per_pixel != 24 && surface->bits_per_pixel != 32) return S_OK;
  const UINT surface_bytes = surface->bits_per_pixel / 8;
  const UINT count = surface->desc.Size / surface_bytes;
  const auto* source = static_cast<const unsigned char*>(pixels);
  unsigned char* target = surface->bits;
  const int red = red_first ? 0 : 2;
  const int blue = 2 - red;
  for (UINT i = 0; i < count; ++i, source += source_bytes, target += surface_bytes) {
    target[0] = source[blue];
    target[1] = source[1];
    target[2] = source[red];
    if (surface_bytes == 4) target[3] = source_bytes == 4 ? source[3] : 255;
  }
  return S_OK;
}

HRESULT QELT_STDCALL Reinitialize(MemorySurface* surface, D3DFORMAT format, INT width, INT height,
                                  void* memory) {
  UINT size = 0;
  if (!image_size(format, width, height, &size)) return D3DERR_INVALIDCALL;
  if (memory != nullptr) {
    surface->bits = static_cast<unsigned char*>(memory);
    surface->borrowed = 1;
  } else {
    // A surface created on borrowed memory has no own buffer yet, whatever the new size.
    if (surface->own_buffer == nullptr || surface->own_capacity < size) {
      const UINT capacity = capacity_for(size);
      void* buffer = allocate(capacity);
      if (buffer == nullptr) return E_OUTOFMEMORY;
      release(surface->own_buffer);
      surface->own_buffer = static_cast<unsigned char*>(buffer);
      surface->own_capacity = capacity;
    }
    surface->bits = surface->own_buffer;
    surface->borrowed = 0;
  }
  describe(surface, format, width, height, size);
  return S_OK;
}

}  // namespace surface

const MemorySurfaceTable kSurfaceTable = {
    {&surface::QueryInterface, &surface::AddRef, &surface::Release, &surface::GetDevice,
     &surface::SetPrivateData, &surface::GetPrivateData, &surface::FreePrivateData,
     &surface::GetContainer, &surface::GetDesc, &surface::LockRect, &surface::UnlockRect},
    &surface::LoadGLPixels,
    &surface::Reinitialize,
};

void* heap_allocate(std::size_t bytes) { return std::malloc(bytes); }

void heap_release(void* block) { std::free(block); }

}  // namespace

SurfaceDirect3D* create_surface_direct3d() {
  SurfaceDirect3D* object = new_object<SurfaceDirect3D>();
  if (object == nullptr) return nullptr;
  object->com.table = &kDirect3DTable;
  object->references = 1;
  return object;
}

SurfaceDevice* create_surface_device() {
  SurfaceDevice* object = new_object<SurfaceDevice>();
  if (object == nullptr) return nullptr;
  object->com.table = &kDeviceTable;
  object->references = 1;
  return object;
}

MemorySurface* create_memory_surface(D3DFORMAT format, INT width, INT height, void* memory) {
  UINT size = 0;
  if (!image_size(format, width, height, &size)) return nullptr;
  MemorySurface* surface = new_object<MemorySurface>();
  if (surface == nullptr) return nullptr;
  if (memory != nullptr) {
    surface->bits = static_cast<unsigned char*>(memory);
    surface->borrowed = 1;
  } else {
    surface->own_capacity = capacity_for(size);
    surface->own_buffer = static_cast<unsigned char*>(allocate(surface->own_capacity));
    if (surface->own_buffer == nullptr) {
      release(surface);
      return nullptr;
    }
    surface->bits = surface->own_buffer;
  }
  surface->com.table = &kSurfaceTable.surface;
  surface->references = 1;
  describe(surface, format, width, height, size);
  return surface;
}

SurfaceObjects& surface_objects() {
  static SurfaceObjects objects;
  return objects;
}

SurfaceAllocator& surface_allocator() {
  static SurfaceAllocator allocator = {&heap_allocate, &heap_release};
  return allocator;
}

}  // namespace qelt
