// Direct3D 8-shaped objects for images held in process memory: a root object, a device and a
// surface, just enough for the surface conversion service to describe, lock and fill them. Every
// object starts with its interface table, in the published method order of the interface it
// imitates, followed by a reference count that starts at 1.
#pragma once

#include <cstddef>

#include "gl_types.h"
#include "win_types.h"

namespace qelt {

// Direct3D 8 enumerations are 32-bit values.
using D3DFORMAT = DWORD;
using D3DRESOURCETYPE = DWORD;
using D3DPOOL = DWORD;
using D3DMULTISAMPLE_TYPE = DWORD;
using D3DDEVTYPE = DWORD;
using D3DBACKBUFFER_TYPE = DWORD;
using D3DTRANSFORMSTATETYPE = DWORD;
using D3DRENDERSTATETYPE = DWORD;
using D3DSTATEBLOCKTYPE = DWORD;
using D3DTEXTURESTAGESTATETYPE = DWORD;
using D3DPRIMITIVETYPE = DWORD;
using D3DCOLOR = DWORD;

constexpr D3DFORMAT D3DFMT_R8G8B8 = 20;
constexpr D3DFORMAT D3DFMT_A8R8G8B8 = 21;
constexpr D3DFORMAT D3DFMT_X8R8G8B8 = 22;
// Four ASCII letters read as a little-endian 32-bit value.
constexpr D3DFORMAT D3DFMT_DXT1 = 0x31545844;
constexpr D3DFORMAT D3DFMT_DXT2 = 0x32545844;
constexpr D3DFORMAT D3DFMT_DXT3 = 0x33545844;
constexpr D3DFORMAT D3DFMT_DXT4 = 0x34545844;
constexpr D3DFORMAT D3DFMT_DXT5 = 0x35545844;
constexpr D3DRESOURCETYPE D3DRTYPE_SURFACE = 1;
constexpr D3DPOOL D3DPOOL_MANAGED = 1;
constexpr D3DMULTISAMPLE_TYPE D3DMULTISAMPLE_NONE = 0;
constexpr D3DDEVTYPE D3DDEVTYPE_HAL = 1;
constexpr DWORD D3DLOCK_READONLY = 0x10;
constexpr DWORD D3DLOCK_NOSYSLOCK = 0x800;
constexpr HRESULT D3DERR_INVALIDCALL = static_cast<HRESULT>(0x8876086Cu);

// OpenGL pixel formats that LoadGLPixels reads.
constexpr GLenum kGlRgb = 0x1907;
constexpr GLenum kGlRgba = 0x1908;
constexpr GLenum kGlBgrExt = 0x80E0;
constexpr GLenum kGlBgraExt = 0x80E1;

struct D3DSURFACE_DESC {
  D3DFORMAT Format;
  D3DRESOURCETYPE Type;
  DWORD Usage;
  D3DPOOL Pool;
  UINT Size;
  D3DMULTISAMPLE_TYPE MultiSampleType;
  UINT Width;
  UINT Height;
};

struct D3DLOCKED_RECT {
  INT Pitch;
  void* pBits;
};

// Records these objects never read or write; only pointers to them are passed.
struct D3DADAPTER_IDENTIFIER8;
struct D3DCAPS8;
struct D3DCLIPSTATUS8;
struct D3DDEVICE_CREATION_PARAMETERS;
struct D3DDISPLAYMODE;
struct D3DGAMMARAMP;
struct D3DLIGHT8;
struct D3DMATERIAL8;
struct D3DMATRIX;
struct D3DPRESENT_PARAMETERS;
struct D3DRASTER_STATUS;
struct D3DRECT;
struct D3DRECTPATCH_INFO;
struct D3DTRIPATCH_INFO;
struct D3DVIEWPORT8;
struct IDirect3DBaseTexture8;
struct IDirect3DCubeTexture8;
struct IDirect3DIndexBuffer8;
struct IDirect3DSwapChain8;
struct IDirect3DTexture8;
struct IDirect3DVertexBuffer8;
struct IDirect3DVolumeTexture8;

struct IDirect3D8;
struct IDirect3DDevice8;
struct IDirect3DSurface8;

constexpr GUID kIidIUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr GUID kIidIDirect3D8 = {
    0x1DD9E8DA, 0x1C77, 0x4D40, {0xB0, 0xCF, 0x98, 0xFE, 0xFD, 0xFF, 0x95, 0x12}};
constexpr GUID kIidIDirect3DDevice8 = {
    0x7385E5DF, 0x8FE8, 0x41D5, {0x86, 0xB6, 0xD7, 0xB4, 0x85, 0x47, 0xB6, 0xCF}};
constexpr GUID kIidIDirect3DSurface8 = {
    0xB96EEBCA, 0xB326, 0x4EA5, {0x88, 0x2F, 0x2F, 0xF5, 0xBA, 0xE0, 0x21, 0xDD}};
constexpr GUID kClsidSurfaceDirect3D = {
    0xD23F0824, 0x128B, 0x4F33, {0x8C, 0x5C, 0x7F, 0xD0, 0xA6, 0xA3, 0xA4, 0x50}};
constexpr GUID kClsidSurfaceDevice = {
    0x9531985D, 0x5D9D, 0x49F8, {0x98, 0x18, 0xE8, 0x11, 0x89, 0x2F, 0x90, 0x2B}};
constexpr GUID kClsidMemorySurface = {
    0x36F675CC, 0x81E7, 0x4EF5, {0xA8, 0xE2, 0x5D, 0x94, 0x0E, 0xD9, 0x04, 0x75}};

// Method lists in published order: X(kind, result, name, parameters). `own` marks the methods
// with behaviour of their own; every `idle` method returns 0 and writes nothing.
#define QELT_DIRECT3D8_METHODS(X)                                                                \
  X(own, HRESULT, QueryInterface, (IDirect3D8*, REFIID, void**))                                 \
  X(own, ULONG, AddRef, (IDirect3D8*))                                                           \
  X(own, ULONG, Release, (IDirect3D8*))                                                          \
  X(idle, HRESULT, RegisterSoftwareDevice, (IDirect3D8*, void*))                                 \
  X(own, UINT, GetAdapterCount, (IDirect3D8*))                                                   \
  X(idle, HRESULT, GetAdapterIdentifier, (IDirect3D8*, UINT, DWORD, D3DADAPTER_IDENTIFIER8*))    \
  X(own, UINT, GetAdapterModeCount, (IDirect3D8*, UINT))                                         \
  X(idle, HRESULT, EnumAdapterModes, (IDirect3D8*, UINT, UINT, D3DDISPLAYMODE*))                 \
  X(idle, HRESULT, GetAdapterDisplayMode, (IDirect3D8*, UINT, D3DDISPLAYMODE*))                  \
  X(idle, HRESULT, CheckDeviceType, (IDirect3D8*, UINT, D3DDEVTYPE, D3DFORMAT, D3DFORMAT, BOOL)) \
  X(idle, HRESULT, CheckDeviceFormat,                                                            \
    (IDirect3D8*, UINT, D3DDEVTYPE, D3DFORMAT, DWORD, D3DRESOURCETYPE, D3DFORMAT))               \
  X(idle, HRESULT, CheckDeviceMultiSampleType,                                                   \
    (IDirect3D8*, UINT, D3DDEVTYPE, D3DFORMAT, BOOL, D3DMULTISAMPLE_TYPE))                       \
  X(idle, HRESULT, CheckDepthStencilMatch,                                                       \
    (IDirect3D8*, UINT, D3DDEVTYPE, D3DFORMAT, D3DFORMAT, D3DFORMAT))                            \
  X(idle, HRESULT, GetDeviceCaps, (IDirect3D8*, UINT, D3DDEVTYPE, D3DCAPS8*))                    \
  X(idle, HMONITOR, GetAdapterMonitor, (IDirect3D8*, UINT))                                      \
  X(own, HRESULT, CreateDevice,                                                                  \
    (IDirect3D8*, UINT, D3DDEVTYPE, HWND, DWORD, D3DPRESENT_PARAMETERS*, IDirect3DDevice8**))

#define QELT_DEVICE8_METHODS(X)                                                                    \
  X(own, HRESULT, QueryInterface, (IDirect3DDevice8*, REFIID, void**))                             \
  X(own, ULONG, AddRef, (IDirect3DDevice8*))                                                       \
  X(own, ULONG, Release, (IDirect3DDevice8*))                                                      \
  X(idle, HRESULT, TestCooperativeLevel, (IDirect3DDevice8*))                                      \
  X(own, UINT, GetAvailableTextureMem, (IDirect3DDevice8*))                                        \
  X(idle, HRESULT, ResourceManagerDiscardBytes, (IDirect3DDevice8*, DWORD))                        \
  X(own, HRESULT, GetDirect3D, (IDirect3DDevice8*, IDirect3D8**))                                  \
  X(idle, HRESULT, GetDeviceCaps, (IDirect3DDevice8*, D3DCAPS8*))                                  \
  X(idle, HRESULT, GetDisplayMode, (IDirect3DDevice8*, D3DDISPLAYMODE*))                           \
  X(idle, HRESULT, GetCreationParameters, (IDirect3DDevice8*, D3DDEVICE_CREATION_PARAMETERS*))     \
  X(idle, HRESULT, SetCursorProperties, (IDirect3DDevice8*, UINT, UINT, IDirect3DSurface8*))       \
  X(idle, void, SetCursorPosition, (IDirect3DDevice8*, UINT, UINT, DWORD))                         \
  X(idle, BOOL, ShowCursor, (IDirect3DDevice8*, BOOL))                                             \
  X(idle, HRESULT, CreateAdditionalSwapChain,                                                      \
    (IDirect3DDevice8*, D3DPRESENT_PARAMETERS*, IDirect3DSwapChain8**))                            \
  X(idle, HRESULT, Reset, (IDirect3DDevice8*, D3DPRESENT_PARAMETERS*))                             \
  X(idle, HRESULT, Present, (IDirect3DDevice8*, const RECT*, const RECT*, HWND, const RGNDATA*))   \
  X(idle, HRESULT, GetBackBuffer,                                                                  \
    (IDirect3DDevice8*, UINT, D3DBACKBUFFER_TYPE, IDirect3DSurface8**))                            \
  X(idle, HRESULT, GetRasterStatus, (IDirect3DDevice8*, D3DRASTER_STATUS*))                        \
  X(idle, void, SetGammaRamp, (IDirect3DDevice8*, DWORD, const D3DGAMMARAMP*))                     \
  X(idle, void, GetGammaRamp, (IDirect3DDevice8*, D3DGAMMARAMP*))                                  \
  X(idle, HRESULT, CreateTexture,                                                                  \
    (IDirect3DDevice8*, UINT, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DTexture8**))         \
  X(idle, HRESULT, CreateVolumeTexture,                                                            \
    (IDirect3DDevice8*, UINT, UINT, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL,                         \
     IDirect3DVolumeTexture8**))                                                                   \
  X(idle, HRESULT, CreateCubeTexture,                                                              \
    (IDirect3DDevice8*, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DCubeTexture8**))           \
  X(idle, HRESULT, CreateVertexBuffer,                                                             \
    (IDirect3DDevice8*, UINT, DWORD, DWORD, D3DPOOL, IDirect3DVertexBuffer8**))                    \
  X(idle, HRESULT, CreateIndexBuffer,                                                              \
    (IDirect3DDevice8*, UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DIndexBuffer8**))                 \
  X(idle, HRESULT, CreateRenderTarget,                                                             \
    (IDirect3DDevice8*, UINT, UINT, D3DFORMAT, D3DMULTISAMPLE_TYPE, BOOL, IDirect3DSurface8**))    \
  X(idle, HRESULT, CreateDepthStencilSurface,                                                      \
    (IDirect3DDevice8*, UINT, UINT, D3DFORMAT, D3DMULTISAMPLE_TYPE, IDirect3DSurface8**))          \
  X(idle, HRESULT, CreateImageSurface,                                                             \
    (IDirect3DDevice8*, UINT, UINT, D3DFORMAT, IDirect3DSurface8**))                               \
  X(own, HRESULT, CopyRects,                                                                       \
    (IDirect3DDevice8*, IDirect3DSurface8*, const RECT*, UINT, IDirect3DSurface8*, const POINT*))  \
  X(idle, HRESULT, UpdateTexture,                                                                  \
    (IDirect3DDevice8*, IDirect3DBaseTexture8*, IDirect3DBaseTexture8*))                           \
  X(idle, HRESULT, GetFrontBuffer, (IDirect3DDevice8*, IDirect3DSurface8*))                        \
  X(idle, HRESULT, SetRenderTarget, (IDirect3DDevice8*, IDirect3DSurface8*, IDirect3DSurface8*))   \
  X(idle, HRESULT, GetRenderTarget, (IDirect3DDevice8*, IDirect3DSurface8**))                      \
  X(idle, HRESULT, GetDepthStencilSurface, (IDirect3DDevice8*, IDirect3DSurface8**))               \
  X(idle, HRESULT, BeginScene, (IDirect3DDevice8*))                                                \
  X(idle, HRESULT, EndScene, (IDirect3DDevice8*))                                                  \
  X(idle, HRESULT, Clear,                                                                          \
    (IDirect3DDevice8*, DWORD, const D3DRECT*, DWORD, D3DCOLOR, float, DWORD))                     \
  X(idle, HRESULT, SetTransform, (IDirect3DDevice8*, D3DTRANSFORMSTATETYPE, const D3DMATRIX*))     \
  X(idle, HRESULT, GetTransform, (IDirect3DDevice8*, D3DTRANSFORMSTATETYPE, D3DMATRIX*))           \
  X(idle, HRESULT, MultiplyTransform,                                                              \
    (IDirect3DDevice8*, D3DTRANSFORMSTATETYPE, const D3DMATRIX*))                                  \
  X(idle, HRESULT, SetViewport, (IDirect3DDevice8*, const D3DVIEWPORT8*))                          \
  X(idle, HRESULT, GetViewport, (IDirect3DDevice8*, D3DVIEWPORT8*))                                \
  X(idle, HRESULT, SetMaterial, (IDirect3DDevice8*, const D3DMATERIAL8*))                          \
  X(idle, HRESULT, GetMaterial, (IDirect3DDevice8*, D3DMATERIAL8*))                                \
  X(idle, HRESULT, SetLight, (IDirect3DDevice8*, DWORD, const D3DLIGHT8*))                         \
  X(idle, HRESULT, GetLight, (IDirect3DDevice8*, DWORD, D3DLIGHT8*))                               \
  X(idle, HRESULT, LightEnable, (IDirect3DDevice8*, DWORD, BOOL))                                  \
  X(idle, HRESULT, GetLightEnable, (IDirect3DDevice8*, DWORD, BOOL*))                              \
  X(idle, HRESULT, SetClipPlane, (IDirect3DDevice8*, DWORD, const float*))                         \
  X(idle, HRESULT, GetClipPlane, (IDirect3DDevice8*, DWORD, float*))                               \
  X(idle, HRESULT, SetRenderState, (IDirect3DDevice8*, D3DRENDERSTATETYPE, DWORD))                 \
  X(idle, HRESULT, GetRenderState, (IDirect3DDevice8*, D3DRENDERSTATETYPE, DWORD*))                \
  X(idle, HRESULT, BeginStateBlock, (IDirect3DDevice8*))                                           \
  X(idle, HRESULT, EndStateBlock, (IDirect3DDevice8*, DWORD*))                                     \
  X(idle, HRESULT, ApplyStateBlock, (IDirect3DDevice8*, DWORD))                                    \
  X(idle, HRESULT, CaptureStateBlock, (IDirect3DDevice8*, DWORD))                                  \
  X(idle, HRESULT, DeleteStateBlock, (IDirect3DDevice8*, DWORD))                                   \
  X(idle, HRESULT, CreateStateBlock, (IDirect3DDevice8*, D3DSTATEBLOCKTYPE, DWORD*))               \
  X(idle, HRESULT, SetClipStatus, (IDirect3DDevice8*, const D3DCLIPSTATUS8*))                      \
  X(idle, HRESULT, GetClipStatus, (IDirect3DDevice8*, D3DCLIPSTATUS8*))                            \
  X(idle, HRESULT, GetTexture, (IDirect3DDevice8*, DWORD, IDirect3DBaseTexture8**))                \
  X(idle, HRESULT, SetTexture, (IDirect3DDevice8*, DWORD, IDirect3DBaseTexture8*))                 \
  X(idle, HRESULT, GetTextureStageState,                                                           \
    (IDirect3DDevice8*, DWORD, D3DTEXTURESTAGESTATETYPE, DWORD*))                                  \
  X(idle, HRESULT, SetTextureStageState,                                                           \
    (IDirect3DDevice8*, DWORD, D3DTEXTURESTAGESTATETYPE, DWORD))                                   \
  X(idle, HRESULT, ValidateDevice, (IDirect3DDevice8*, DWORD*))                                    \
  X(idle, HRESULT, GetInfo, (IDirect3DDevice8*, DWORD, void*, DWORD))                              \
  X(idle, HRESULT, SetPaletteEntries, (IDirect3DDevice8*, UINT, const PALETTEENTRY*))              \
  X(idle, HRESULT, GetPaletteEntries, (IDirect3DDevice8*, UINT, PALETTEENTRY*))                    \
  X(idle, HRESULT, SetCurrentTexturePalette, (IDirect3DDevice8*, UINT))                            \
  X(idle, HRESULT, GetCurrentTexturePalette, (IDirect3DDevice8*, UINT*))                           \
  X(idle, HRESULT, DrawPrimitive, (IDirect3DDevice8*, D3DPRIMITIVETYPE, UINT, UINT))               \
  X(idle, HRESULT, DrawIndexedPrimitive,                                                           \
    (IDirect3DDevice8*, D3DPRIMITIVETYPE, UINT, UINT, UINT, UINT))                                 \
  X(idle, HRESULT, DrawPrimitiveUP,                                                                \
    (IDirect3DDevice8*, D3DPRIMITIVETYPE, UINT, const void*, UINT))                                \
  X(idle, HRESULT, DrawIndexedPrimitiveUP,                                                         \
    (IDirect3DDevice8*, D3DPRIMITIVETYPE, UINT, UINT, UINT, const void*, D3DFORMAT, const void*,   \
     UINT))                                                                                        \
  X(idle, HRESULT, ProcessVertices,                                                                \
    (IDirect3DDevice8*, UINT, UINT, UINT, IDirect3DVertexBuffer8*, DWORD))                         \
  X(idle, HRESULT, CreateVertexShader,                                                             \
    (IDirect3DDevice8*, const DWORD*, const DWORD*, DWORD*, DWORD))                                \
  X(idle, HRESULT, SetVertexShader, (IDirect3DDevice8*, DWORD))                                    \
  X(idle, HRESULT, GetVertexShader, (IDirect3DDevice8*, DWORD*))                                   \
  X(idle, HRESULT, DeleteVertexShader, (IDirect3DDevice8*, DWORD))                                 \
  X(idle, HRESULT, SetVertexShaderConstant, (IDirect3DDevice8*, DWORD, const void*, DWORD))        \
  X(idle, HRESULT, GetVertexShaderConstant, (IDirect3DDevice8*, DWORD, void*, DWORD))              \
  X(idle, HRESULT, GetVertexShaderDeclaration, (IDirect3DDevice8*, DWORD, void*, DWORD*))          \
  X(idle, HRESULT, GetVertexShaderFunction, (IDirect3DDevice8*, DWORD, void*, DWORD*))             \
  X(idle, HRESULT, SetStreamSource, (IDirect3DDevice8*, UINT, IDirect3DVertexBuffer8*, UINT))      \
  X(idle, HRESULT, GetStreamSource, (IDirect3DDevice8*, UINT, IDirect3DVertexBuffer8**, UINT*))    \
  X(idle, HRESULT, SetIndices, (IDirect3DDevice8*, IDirect3DIndexBuffer8*, UINT))                  \
  X(idle, HRESULT, GetIndices, (IDirect3DDevice8*, IDirect3DIndexBuffer8**, UINT*))                \
  X(idle, HRESULT, CreatePixelShader, (IDirect3DDevice8*, const DWORD*, DWORD*))                   \
  X(idle, HRESULT, SetPixelShader, (IDirect3DDevice8*, DWORD))                                     \
  X(idle, HRESULT, GetPixelShader, (IDirect3DDevice8*, DWORD*))                                    \
  X(idle, HRESULT, DeletePixelShader, (IDirect3DDevice8*, DWORD))                                  \
  X(idle, HRESULT, SetPixelShaderConstant, (IDirect3DDevice8*, DWORD, const void*, DWORD))         \
  X(idle, HRESULT, GetPixelShaderConstant, (IDirect3DDevice8*, DWORD, void*, DWORD))               \
  X(idle, HRESULT, GetPixelShaderFunction, (IDirect3DDevice8*, DWORD, void*, DWORD*))              \
  X(idle, HRESULT, DrawRectPatch,                                                                  \
    (IDirect3DDevice8*, UINT, const float*, const D3DRECTPATCH_INFO*))                             \
  X(idle, HRESULT, DrawTriPatch, (IDirect3DDevice8*, UINT, const float*, const D3DTRIPATCH_INFO*)) \
  X(idle, HRESULT, DeletePatch, (IDirect3DDevice8*, UINT))

#define QELT_TABLE_SLOT(kind, result, name, parameters) result(QELT_STDCALL* name) parameters;

struct IDirect3D8Table {
  QELT_DIRECT3D8_METHODS(QELT_TABLE_SLOT)
};

struct IDirect3DDevice8Table {
  QELT_DEVICE8_METHODS(QELT_TABLE_SLOT)
};

#undef QELT_TABLE_SLOT

struct IDirect3DSurface8Table {
  HRESULT(QELT_STDCALL* QueryInterface)(IDirect3DSurface8* self, REFIID iid, void** object);
  ULONG(QELT_STDCALL* AddRef)(IDirect3DSurface8* self);
  ULONG(QELT_STDCALL* Release)(IDirect3DSurface8* self);
  HRESULT(QELT_STDCALL* GetDevice)(IDirect3DSurface8* self, IDirect3DDevice8** device);
  HRESULT(QELT_STDCALL* SetPrivateData)
  (IDirect3DSurface8* self, REFGUID guid, const void* data, DWORD size, DWORD flags);
  HRESULT(QELT_STDCALL* GetPrivateData)
  (IDirect3DSurface8* self, REFGUID guid, void* data, DWORD* size);
  HRESULT(QELT_STDCALL* FreePrivateData)(IDirect3DSurface8* self, REFGUID guid);
  HRESULT(QELT_STDCALL* GetContainer)(IDirect3DSurface8* self, REFIID iid, void** container);
  HRESULT(QELT_STDCALL* GetDesc)(IDirect3DSurface8* self, D3DSURFACE_DESC* desc);
  HRESULT(QELT_STDCALL* LockRect)
  (IDirect3DSurface8* self, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags);
  HRESULT(QELT_STDCALL* UnlockRect)(IDirect3DSurface8* self);
};

// An interface pointer points at the table pointer that starts every object.
struct IDirect3D8 {
  const IDirect3D8Table* table;
};
struct IDirect3DDevice8 {
  const IDirect3DDevice8Table* table;
};
struct IDirect3DSurface8 {
  const IDirect3DSurface8Table* table;
};

struct SurfaceDirect3D {
  IDirect3D8 com;
  ULONG references;
};

struct SurfaceDevice {
  IDirect3DDevice8 com;
  ULONG references;
};

struct MemorySurface;

// The surface interface's 11 methods, then the memory surface's own two.
struct MemorySurfaceTable {
  IDirect3DSurface8Table surface;
  // Fills the image from tightly packed 3- or 4-byte OpenGL pixels, exchanging red and blue
  // where the byte orders differ. Other GL formats or surface depths write nothing.
  HRESULT(QELT_STDCALL* LoadGLPixels)(MemorySurface* self, GLenum format, const void* pixels);
  // New format and size; borrows `memory` when it is not null, otherwise uses the own buffer,
  // which is replaced only when it is too small. On failure the surface stays as it was.
  HRESULT(QELT_STDCALL* Reinitialize)
  (MemorySurface* self, D3DFORMAT format, INT width, INT height, void* memory);
};

struct MemorySurface {
  IDirect3DSurface8 com;
  ULONG references;
  unsigned char* bits;  // the own buffer, or borrowed memory
  ULONG locks;
  D3DSURFACE_DESC desc;
  UINT bits_per_pixel;
  UINT borrowed;  // 1 when bits is the creator's memory, never freed here
  unsigned char* own_buffer;
  UINT own_capacity;

  const MemorySurfaceTable& methods() const {
    return *reinterpret_cast<const MemorySurfaceTable*>(com.table);
  }
};

// Creation functions; each returns null when the object or its buffer cannot be allocated, and
// create_memory_surface also when the size is negative or does not fit 32-bit arithmetic.
SurfaceDirect3D* create_surface_direct3d();
SurfaceDevice* create_surface_device();
MemorySurface* create_memory_surface(D3DFORMAT format, INT width, INT height, void* memory);

// The process-wide root object and device that every GetDirect3D and GetDevice hands out. The
// upload path creates them on its first eligible call; until then both calls fail.
struct SurfaceObjects {
  IDirect3D8* root = nullptr;
  IDirect3DDevice8* device = nullptr;
};
SurfaceObjects& surface_objects();

// Where objects and own buffers come from: the C heap unless replaced. Blocks are at least 8-byte
// aligned; allocate returns null on failure. Tests substitute a counting or failing allocator.
struct SurfaceAllocator {
  void* (*allocate)(std::size_t bytes);
  void (*release)(void* block);
};
SurfaceAllocator& surface_allocator();

}  // namespace qelt
