// The memory surfaces, the surface device and the root object: sizing, own and borrowed memory,
// locking, pixel loading, identity, and the interface tables as the conversion service calls them.
#include "memory_surface.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "counting_allocator.h"
#include "surface_conversion.h"

namespace qelt {
namespace {

using Bytes = std::vector<unsigned char>;

IDirect3DSurface8* com(MemorySurface* surface) { return &surface->com; }

D3DSURFACE_DESC desc_of(MemorySurface* surface) {
  D3DSURFACE_DESC desc{};
  EXPECT_EQ(surface->com.table->GetDesc(com(surface), &desc), S_OK);
  return desc;
}

D3DLOCKED_RECT lock(MemorySurface* surface, const RECT* rect, HRESULT expected = S_OK) {
  D3DLOCKED_RECT locked{};
  EXPECT_EQ(surface->com.table->LockRect(com(surface), &locked, rect, 0), expected);
  return locked;
}

HRESULT unlock(MemorySurface* surface) { return surface->com.table->UnlockRect(com(surface)); }

HRESULT reinitialize(MemorySurface* surface, D3DFORMAT format, INT width, INT height,
                     void* memory = nullptr) {
  return surface->methods().Reinitialize(surface, format, width, height, memory);
}

std::ptrdiff_t offset(const D3DLOCKED_RECT& locked, const MemorySurface* surface) {
  return static_cast<unsigned char*>(locked.pBits) - surface->bits;
}

class SurfaceTest : public ::testing::Test {
 protected:
  void TearDown() override {
    surface_objects() = SurfaceObjects{};
    for (MemorySurface* surface : surfaces_) surface->com.table->Release(com(surface));
  }
  MemorySurface* make(D3DFORMAT format, INT width, INT height, void* memory = nullptr) {
    MemorySurface* surface = create_memory_surface(format, width, height, memory);
    if (surface != nullptr) surfaces_.push_back(surface);
    return surface;
  }

 private:
  std::vector<MemorySurface*> surfaces_;
};

TEST_F(SurfaceTest, SizePitchAndBufferFollowFormatAndExtent) {
  struct {
    D3DFORMAT format;
    INT width, height;
    UINT size, pitch, capacity;
  } const cases[] = {
      {D3DFMT_DXT1, 1, 1, 8, 8, 16},
      {D3DFMT_DXT5, 2, 8, 32, 16, 32},
      {D3DFMT_A8R8G8B8, 0, 0, 0, 0, 16},
      {D3DFMT_R8G8B8, 64, 64, 12288, 192, 12288},
      {D3DFMT_DXT3, 256, 256, 65536, 1024, 65536},
      {D3DFMT_DXT1, 6, 10, 48, 16, 48},  // partial edge blocks are stored whole
      {23 /* R5G6B5 */, 10, 3, 60, 20, 60},
      {99 /* unknown */, 10, 10, 0, 0, 16},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.format << " " << c.width << "x" << c.height);
    MemorySurface* surface = make(c.format, c.width, c.height);
    ASSERT_NE(surface, nullptr);
    const D3DSURFACE_DESC desc = desc_of(surface);
    EXPECT_EQ(desc.Format, c.format);
    EXPECT_EQ(desc.Type, D3DRTYPE_SURFACE);
    EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
    EXPECT_EQ(desc.Size, c.size);
    EXPECT_EQ(desc.Width, static_cast<UINT>(c.width));
    EXPECT_EQ(desc.Height, static_cast<UINT>(c.height));
    EXPECT_EQ(surface->own_capacity, c.capacity);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(surface->bits) % 8, 0u);
    EXPECT_EQ(static_cast<UINT>(lock(surface, nullptr).Pitch), c.pitch);
  }
}

// ---------------------------------------------------------------------------------------------
// Bad input and failed allocations

TEST_F(SurfaceTest, NegativeOrOverflowingExtentsAreRefusedWithoutTouchingAnything) {
  MemorySurface* surface = make(D3DFMT_A8R8G8B8, 16, 16);
  ASSERT_NE(surface, nullptr);
  unsigned char* buffer = surface->bits;
  CountingAllocator counter;
  unsigned char memory[16];
  const struct {
    D3DFORMAT format;
    INT width, height;
  } bad[] = {{D3DFMT_A8R8G8B8, -1, 4},
             {D3DFMT_DXT1, 4, -4},
             {D3DFMT_A8R8G8B8, 16384, 8192},  // 32 bits x 2^27 pixels is exactly 2^32
             {D3DFMT_R8G8B8, 65536, 65536},
             {D3DFMT_A8R8G8B8, 1 << 28, 0},  // empty, but the row alone would wrap the pitch
             {D3DFMT_DXT1, 0x7FFFFFFF, 4}};  // rounding up to whole blocks must not wrap
  for (const auto& b : bad) {
    SCOPED_TRACE(testing::Message() << b.width << "x" << b.height);
    EXPECT_EQ(make(b.format, b.width, b.height, memory), nullptr);
    EXPECT_EQ(make(b.format, b.width, b.height), nullptr);
    EXPECT_EQ(reinitialize(surface, b.format, b.width, b.height), D3DERR_INVALIDCALL);
    EXPECT_EQ(reinitialize(surface, b.format, b.width, b.height, memory), D3DERR_INVALIDCALL);
  }
  EXPECT_TRUE(counter.allocated.empty());
  EXPECT_EQ(surface->bits, buffer);
  EXPECT_EQ(surface->own_capacity, 1024u);
  EXPECT_EQ(desc_of(surface).Size, 1024u);
  EXPECT_EQ(desc_of(surface).Width, 16u);

  MemorySurface* largest = make(D3DFMT_A8R8G8B8, 8192, 16383, memory);
  ASSERT_NE(largest, nullptr);
  EXPECT_EQ(desc_of(largest).Size, 8192u * 16383u * 4u);
}

TEST_F(SurfaceTest, FailedAllocationsReportFailureAndKeepWhatWasThere) {
  MemorySurface* surface = make(D3DFMT_A8R8G8B8, 8, 8);
  ASSERT_NE(surface, nullptr);
  unsigned char* buffer = surface->bits;
  buffer[0] = 0x5A;
  CountingAllocator counter;
  counter.refuse_from = 1;
  EXPECT_EQ(reinitialize(surface, D3DFMT_A8R8G8B8, 64, 64), E_OUTOFMEMORY);
  EXPECT_EQ(surface->bits, buffer);
  EXPECT_EQ(surface->own_capacity, 256u);
  EXPECT_EQ(desc_of(surface).Width, 8u);
  EXPECT_EQ(buffer[0], 0x5A);
  EXPECT_EQ(create_surface_direct3d(), nullptr);
  EXPECT_EQ(create_surface_device(), nullptr);
  EXPECT_EQ(make(D3DFMT_DXT1, 4, 4), nullptr);

  // The object is allocated but its buffer is not: the object must not leak.
  counter.refuse_from = 2;
  EXPECT_EQ(make(D3DFMT_DXT1, 4, 4), nullptr);
  ASSERT_EQ(counter.allocated.size(), 1u);
  EXPECT_EQ(counter.released.size(), 1u);
}

// ---------------------------------------------------------------------------------------------
// Own and borrowed memory

TEST_F(SurfaceTest, OwnBufferOnlyGrowsAndKeepsContentsWhenReused) {
  CountingAllocator counter;
  MemorySurface* surface = make(D3DFMT_A8R8G8B8, 256, 256);
  ASSERT_NE(surface, nullptr);
  unsigned char* first = surface->own_buffer;
  first[100] = 0xA7;
  ASSERT_EQ(reinitialize(surface, D3DFMT_A8R8G8B8, 128, 128), S_OK);
  EXPECT_EQ(desc_of(surface).Size, 65536u);
  ASSERT_EQ(reinitialize(surface, D3DFMT_A8R8G8B8, 256, 256), S_OK);
  EXPECT_EQ(surface->bits, first);
  EXPECT_EQ(first[100], 0xA7);
  EXPECT_EQ(counter.allocated.size(), 2u);  // the object and its first buffer
  ASSERT_EQ(reinitialize(surface, D3DFMT_A8R8G8B8, 512, 512), S_OK);
  EXPECT_EQ(counter.allocated.back(), 1048576u);
  EXPECT_EQ(surface->own_capacity, 1048576u);
  EXPECT_EQ(surface->bits, surface->own_buffer);
  EXPECT_EQ(counter.released, std::vector<void*>{first});
}

TEST_F(SurfaceTest, BorrowedMemoryIsUsedInPlaceAndNeverFreed) {
  CountingAllocator counter;
  Bytes caller(64 * 64 * 4);
  MemorySurface* born_borrowing = make(D3DFMT_A8R8G8B8, 2, 2, caller.data());
  ASSERT_NE(born_borrowing, nullptr);
  EXPECT_EQ(counter.allocated.size(), 1u);
  EXPECT_EQ(lock(born_borrowing, nullptr).pBits, caller.data());
  EXPECT_EQ(unlock(born_borrowing), S_OK);
  // Going back to own memory needs a buffer even for an empty image.
  ASSERT_EQ(reinitialize(born_borrowing, D3DFMT_A8R8G8B8, 0, 0), S_OK);
  EXPECT_NE(born_borrowing->bits, nullptr);
  EXPECT_EQ(born_borrowing->own_capacity, 16u);

  MemorySurface* surface = create_memory_surface(D3DFMT_A8R8G8B8, 64, 64, nullptr);
  ASSERT_NE(surface, nullptr);
  unsigned char* own = surface->own_buffer;
  ASSERT_EQ(reinitialize(surface, D3DFMT_R8G8B8, 64, 64, caller.data()), S_OK);
  EXPECT_EQ(surface->bits, caller.data());
  EXPECT_EQ(surface->borrowed, 1u);
  ASSERT_EQ(reinitialize(surface, D3DFMT_A8R8G8B8, 32, 32), S_OK);
  EXPECT_EQ(surface->bits, own);
  EXPECT_EQ(surface->borrowed, 0u);
  ASSERT_EQ(reinitialize(surface, D3DFMT_A8R8G8B8, 64, 64, caller.data()), S_OK);
  EXPECT_EQ(surface->com.table->AddRef(com(surface)), 2u);
  EXPECT_EQ(surface->com.table->Release(com(surface)), 1u);
  EXPECT_EQ(surface->com.table->Release(com(surface)), 0u);
  EXPECT_EQ(counter.released, (std::vector<void*>{own, surface}));
}

// ---------------------------------------------------------------------------------------------
// Locking

TEST_F(SurfaceTest, BlockRectanglesStayOnTheBlockGridAndStillCountAsLocks) {
  MemorySurface* dxt3 = make(D3DFMT_DXT3, 256, 256);
  MemorySurface* dxt1 = make(D3DFMT_DXT1, 7, 7);
  ASSERT_NE(dxt3, nullptr);
  ASSERT_NE(dxt1, nullptr);
  const RECT rect = {4, 8, 12, 16};
  const D3DLOCKED_RECT locked = lock(dxt3, &rect);
  EXPECT_EQ(locked.Pitch, 1024);
  EXPECT_EQ(offset(locked, dxt3), 2064);

  const RECT odd_edge = {4, 4, 7, 7};
  EXPECT_EQ(offset(lock(dxt1, &odd_edge), dxt1), 16 + 8);
  for (const RECT& refused : {RECT{2, 0, 4, 4}, RECT{0, 0, 6, 4}, RECT{0, 0, 12, 4},
                              RECT{-4, 0, 4, 4}, RECT{4, 0, 0, 4}}) {
    lock(dxt1, &refused, D3DERR_INVALIDCALL);
  }
  for (int i = 0; i < 6; ++i) EXPECT_EQ(unlock(dxt1), S_OK);
  EXPECT_EQ(unlock(dxt1), D3DERR_INVALIDCALL);
}

TEST_F(SurfaceTest, PlainRectanglesAddressTheirFirstPixelInsideTheImage) {
  MemorySurface* surface = make(D3DFMT_R8G8B8, 64, 64);
  ASSERT_NE(surface, nullptr);
  const RECT rect = {3, 2, 10, 10};
  const D3DLOCKED_RECT locked = lock(surface, &rect);
  EXPECT_EQ(locked.Pitch, 192);
  EXPECT_EQ(offset(locked, surface), (2 * 64 + 3) * 3);
  // The last: empty, but on the bottom edge it would start past the buffer.
  for (const RECT& refused : {RECT{0, 0, 65, 1}, RECT{0, 60, 1, 65}, RECT{-1, 0, 1, 1},
                              RECT{0, 0x40000000, 1, 0x40000001}, RECT{10, 64, 10, 64}}) {
    lock(surface, &refused, D3DERR_INVALIDCALL);
  }
  EXPECT_EQ(surface->locks, 6u);
}

// ---------------------------------------------------------------------------------------------
// Loading OpenGL pixels

TEST_F(SurfaceTest, LoadGLPixelsWritesSurfaceByteOrderUpToSize) {
  const Bytes four = {1, 2, 3, 4, 5, 6, 7, 8};
  const Bytes three = {1, 2, 3, 4, 5, 6};
  const struct {
    GLenum gl_format;
    D3DFORMAT format;
    const Bytes& source;
    Bytes expected;
  } cases[] = {
      {kGlRgba, D3DFMT_A8R8G8B8, four, {3, 2, 1, 4, 7, 6, 5, 8}},
      {kGlRgba, D3DFMT_R8G8B8, four, {3, 2, 1, 7, 6, 5}},
      {kGlRgb, D3DFMT_A8R8G8B8, three, {3, 2, 1, 255, 6, 5, 4, 255}},
      {kGlRgb, D3DFMT_R8G8B8, three, {3, 2, 1, 6, 5, 4}},
      {kGlBgraExt, D3DFMT_A8R8G8B8, four, {1, 2, 3, 4, 5, 6, 7, 8}},
      {kGlBgraExt, D3DFMT_R8G8B8, four, {1, 2, 3, 5, 6, 7}},
      {kGlBgrExt, D3DFMT_A8R8G8B8, three, {1, 2, 3, 255, 4, 5, 6, 255}},
      {kGlBgrExt, D3DFMT_R8G8B8, three, {1, 2, 3, 4, 5, 6}},
      {0x1909 /* GL_LUMINANCE */, D3DFMT_A8R8G8B8, four, Bytes(8, 0xCD)},
      {kGlRgba, D3DFMT_DXT1, four, Bytes(8, 0xCD)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.gl_format << " into " << c.format);
    MemorySurface* surface = make(c.format, 2, 1);
    ASSERT_NE(surface, nullptr);
    std::memset(surface->bits, 0xCD, surface->own_capacity);
    EXPECT_EQ(surface->methods().LoadGLPixels(surface, c.gl_format, c.source.data()), S_OK);
    EXPECT_EQ(Bytes(surface->bits, surface->bits + c.expected.size()), c.expected);
    EXPECT_EQ(Bytes(surface->bits + c.expected.size(), surface->bits + 16),
              Bytes(16 - c.expected.size(), 0xCD));
  }
  MemorySurface* surface = make(D3DFMT_A8R8G8B8, 2, 1);
  ASSERT_NE(surface, nullptr);
  std::memset(surface->bits, 0xCD, 8);
  EXPECT_EQ(surface->methods().LoadGLPixels(surface, kGlRgba, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(Bytes(surface->bits, surface->bits + 8), Bytes(8, 0xCD));
}

// ---------------------------------------------------------------------------------------------
// Identity, the device and the root object

TEST_F(SurfaceTest, QueryInterfaceAnswersUnknownTheImitatedInterfaceAndTheClass) {
  MemorySurface* surface = make(D3DFMT_DXT1, 4, 4);
  SurfaceDevice* device = create_surface_device();
  SurfaceDirect3D* root = create_surface_direct3d();
  ASSERT_TRUE(surface && device && root);
  const auto query = [](auto* object, const GUID& iid, void** out) {
    return object->com.table->QueryInterface(&object->com, iid, out);
  };
  void* out = nullptr;
  for (const GUID& iid : {kIidIUnknown, kIidIDirect3DSurface8, kClsidMemorySurface}) {
    EXPECT_EQ(query(surface, iid, &out), S_OK);
    EXPECT_EQ(out, surface);
  }
  for (const GUID& iid : {kIidIUnknown, kIidIDirect3DDevice8, kClsidSurfaceDevice}) {
    EXPECT_EQ(query(device, iid, &out), S_OK);
    EXPECT_EQ(out, device);
  }
  for (const GUID& iid : {kIidIUnknown, kIidIDirect3D8, kClsidSurfaceDirect3D}) {
    EXPECT_EQ(query(root, iid, &out), S_OK);
    EXPECT_EQ(out, root);
  }
  EXPECT_EQ(query(surface, kIidIDirect3DDevice8, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  out = &out;
  EXPECT_EQ(query(device, kClsidMemorySurface, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  out = &out;
  EXPECT_EQ(query(root, kIidIDirect3DSurface8, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(query(surface, kIidIUnknown, nullptr), E_POINTER);
  EXPECT_EQ(surface->references, 4u);
  EXPECT_EQ(device->references, 4u);
  EXPECT_EQ(root->references, 4u);
  surface->references = 1;
  device->references = root->references = 1;
  EXPECT_EQ(device->com.table->Release(&device->com), 0u);
  EXPECT_EQ(root->com.table->Release(&root->com), 0u);
}

TEST_F(SurfaceTest, DeviceAndRootAreHandedOutOnlyOnceTheyExist) {
  MemorySurface* surface = make(D3DFMT_A8R8G8B8, 4, 4);
  SurfaceDirect3D* root = create_surface_direct3d();
  ASSERT_TRUE(surface && root);
  IDirect3DDevice8* device = nullptr;
  IDirect3DDevice8* second = nullptr;
  const IDirect3D8Table& t = *root->com.table;
  ASSERT_EQ(t.CreateDevice(&root->com, 0, D3DDEVTYPE_HAL, nullptr, 0, nullptr, &device), S_OK);
  ASSERT_EQ(t.CreateDevice(&root->com, 0, D3DDEVTYPE_HAL, nullptr, 0, nullptr, &second), S_OK);
  EXPECT_NE(device, second);
  EXPECT_EQ(second->table->Release(second), 0u);

  IDirect3DDevice8* handed_device = device;
  IDirect3D8* handed_root = &root->com;
  EXPECT_EQ(surface->com.table->GetDevice(com(surface), &handed_device), D3DERR_INVALIDCALL);
  EXPECT_EQ(handed_device, nullptr);
  EXPECT_EQ(device->table->GetDirect3D(device, &handed_root), D3DERR_INVALIDCALL);
  EXPECT_EQ(handed_root, nullptr);

  surface_objects() = SurfaceObjects{&root->com, device};
  EXPECT_EQ(surface->com.table->GetDevice(com(surface), &handed_device), S_OK);
  EXPECT_EQ(handed_device, device);
  EXPECT_EQ(device->table->GetDirect3D(device, &handed_root), S_OK);
  EXPECT_EQ(handed_root, &root->com);
  EXPECT_EQ(device->table->Release(device), 1u);
  EXPECT_EQ(device->table->Release(device), 0u);
  EXPECT_EQ(t.Release(&root->com), 1u);
  EXPECT_EQ(t.Release(&root->com), 0u);
}

// Slots are read as raw words, the way a caller compiled against the published tables reads them.
template <class Function>
Function slot(const void* table, int index) {
  Function function;
  std::memcpy(&function, static_cast<const char*>(table) + index * sizeof(void*), sizeof function);
  return function;
}

static_assert(sizeof(IDirect3D8Table) == 16 * sizeof(void*));
static_assert(sizeof(IDirect3DDevice8Table) == 97 * sizeof(void*));
static_assert(sizeof(MemorySurfaceTable) == (11 + 2) * sizeof(void*));

TEST_F(SurfaceTest, TableSlotsFollowThePublishedOrder) {
  MemorySurface* surface = make(D3DFMT_A8R8G8B8, 1, 1);
  SurfaceDirect3D* root = create_surface_direct3d();
  ASSERT_TRUE(surface && root);
  const void* table = surface->com.table;
  const unsigned char pixel[4] = {10, 20, 30, 40};
  EXPECT_EQ((slot<HRESULT(QELT_STDCALL*)(MemorySurface*, GLenum, const void*)>(table, 11)(
                surface, kGlRgba, pixel)),
            S_OK);
  EXPECT_EQ(Bytes(surface->bits, surface->bits + 4), (Bytes{30, 20, 10, 40}));
  D3DLOCKED_RECT locked{};
  EXPECT_EQ((slot<HRESULT(QELT_STDCALL*)(IDirect3DSurface8*, D3DLOCKED_RECT*, const RECT*, DWORD)>(
                table, 9)(com(surface), &locked, nullptr, 0)),
            S_OK);
  const auto unlock_slot = slot<HRESULT(QELT_STDCALL*)(IDirect3DSurface8*)>(table, 10);
  EXPECT_EQ(unlock_slot(com(surface)), S_OK);
  EXPECT_EQ(unlock_slot(com(surface)), D3DERR_INVALIDCALL);
  EXPECT_EQ((slot<HRESULT(QELT_STDCALL*)(MemorySurface*, D3DFORMAT, INT, INT, void*)>(table, 12)(
                surface, D3DFMT_DXT5, 8, 8, nullptr)),
            S_OK);
  EXPECT_EQ(desc_of(surface).Size, 64u);

  const void* roots = root->com.table;
  EXPECT_EQ(slot<UINT(QELT_STDCALL*)(IDirect3D8*)>(roots, 4)(&root->com), 1u);
  EXPECT_EQ(slot<HMONITOR(QELT_STDCALL*)(IDirect3D8*, UINT)>(roots, 14)(&root->com, 0), nullptr);
  IDirect3DDevice8* device = nullptr;
  EXPECT_EQ((slot<HRESULT(QELT_STDCALL*)(IDirect3D8*, UINT, D3DDEVTYPE, HWND, DWORD,
                                         D3DPRESENT_PARAMETERS*, IDirect3DDevice8**)>(roots, 15)(
                &root->com, 0, D3DDEVTYPE_HAL, nullptr, 0, nullptr, &device)),
            S_OK);
  ASSERT_NE(device, nullptr);
  const void* devices = device->table;
  EXPECT_EQ(slot<UINT(QELT_STDCALL*)(IDirect3DDevice8*)>(devices, 4)(device), 1u);
  // Refusing CopyRects is what sends the conversion service to locked memory.
  EXPECT_EQ((slot<HRESULT(QELT_STDCALL*)(IDirect3DDevice8*, IDirect3DSurface8*, const RECT*, UINT,
                                         IDirect3DSurface8*, const POINT*)>(devices, 28)(
                device, com(surface), nullptr, 0, com(surface), nullptr)),
            D3DERR_INVALIDCALL);
  IDirect3DSurface8* untouched = com(surface);
  EXPECT_EQ((slot<HRESULT(QELT_STDCALL*)(IDirect3DDevice8*, IDirect3DSurface8**)>(devices, 32)(
                device, &untouched)),
            S_OK);
  EXPECT_EQ(untouched, com(surface));
  EXPECT_EQ((slot<HRESULT(QELT_STDCALL*)(IDirect3DDevice8*, UINT)>(devices, 96)(device, 0)), S_OK);
  EXPECT_EQ(device->table->Release(device), 0u);
  EXPECT_EQ(root->com.table->Release(&root->com), 0u);
}

#if defined(__i386__) && !defined(_WIN32)
// Pushes `count` 32-bit arguments right to left on a 16-byte aligned stack, calls `function` and
// returns how many bytes of them the callee removed.
extern "C" unsigned qelt_bytes_popped(const void* function, const std::uint32_t* arguments,
                                      unsigned count);
asm(R"(
  .text
  .globl qelt_bytes_popped
qelt_bytes_popped:
  push %ebp
  mov %esp, %ebp
  push %ebx
  push %esi
  push %edi
  mov 12(%ebp), %esi
  mov 16(%ebp), %ecx
  mov %esp, %edi
  lea 0(,%ecx,4), %eax
  mov %esp, %edx
  sub %eax, %edx
  and $-16, %edx
  add %eax, %edx
  mov %edx, %esp
  mov %esp, %ebx
1:
  test %ecx, %ecx
  jz 2f
  push -4(%esi,%ecx,4)
  dec %ecx
  jmp 1b
2:
  call *8(%ebp)
  mov %esp, %eax
  sub %ebx, %eax
  mov 16(%ebp), %ecx
  lea (%eax,%ecx,4), %eax
  mov %edi, %esp
  pop %edi
  pop %esi
  pop %ebx
  pop %ebp
  ret
)");

std::uint32_t word(const void* pointer) { return reinterpret_cast<std::uintptr_t>(pointer); }

unsigned popped(const void* table, int index, std::vector<std::uint32_t> arguments) {
  return qelt_bytes_popped(slot<const void*>(table, index), arguments.data(),
                           static_cast<unsigned>(arguments.size()));
}

TEST_F(SurfaceTest, EveryTableMethodRemovesItsOwnArguments) {
  MemorySurface* surface = make(D3DFMT_A8R8G8B8, 4, 4);
  SurfaceDirect3D* root = create_surface_direct3d();
  ASSERT_TRUE(surface && root);
  D3DLOCKED_RECT locked{};
  D3DSURFACE_DESC desc{};
  const unsigned char pixels[64] = {};
  IDirect3DDevice8* device = nullptr;
  const std::uint32_t s = word(surface);
  const std::uint32_t r = word(root);
  const void* surfaces = surface->com.table;
  EXPECT_EQ(popped(surfaces, 4, {s, word(&kIidIUnknown), word(pixels), 4, 0}), 20u);
  EXPECT_EQ(popped(surfaces, 8, {s, word(&desc)}), 8u);
  EXPECT_EQ(popped(surfaces, 9, {s, word(&locked), 0, 0}), 16u);
  EXPECT_EQ(popped(surfaces, 10, {s}), 4u);
  EXPECT_EQ(popped(surfaces, 11, {s, kGlRgba, word(pixels)}), 12u);
  EXPECT_EQ(popped(surfaces, 12, {s, D3DFMT_DXT1, 4, 4, 0}), 20u);
  EXPECT_EQ(popped(root->com.table, 10, {r, 0, 1, 21, 0, 1, 21}), 28u);
  EXPECT_EQ(popped(root->com.table, 15, {r, 0, 1, 0, 0, 0, word(&device)}), 28u);
  ASSERT_NE(device, nullptr);
  const std::uint32_t d = word(device);
  EXPECT_EQ(popped(device->table, 11, {d, 1, 2, 0}), 16u);
  EXPECT_EQ(popped(device->table, 28, {d, 0, 0, 0, 0, 0}), 24u);
  EXPECT_EQ(popped(device->table, 36, {d, 0, 0, 0, 0, 0, 0}), 28u);
  EXPECT_EQ(popped(device->table, 73, {d, 0, 0, 0, 0, 0, 0, 0, 0}), 36u);
  EXPECT_EQ(device->table->Release(device), 0u);
  EXPECT_EQ(root->com.table->Release(&root->com), 0u);
}
#endif

// The upload path keeps one destination and one source surface for the whole process.
TEST_F(SurfaceTest, MipmapChainAllocatesNothingAfterItsLargestLevel) {
  CountingAllocator counter;
  Bytes rgba(256 * 256 * 4, 0x80);
  MemorySurface* blocks = make(D3DFMT_DXT5, 256, 256);
  MemorySurface* pixels = make(D3DFMT_A8R8G8B8, 256, 256);
  ASSERT_TRUE(blocks && pixels);
  const auto upload = [&] {
    return LoadSurfaceFromSurface(com(blocks), nullptr, nullptr, com(pixels), nullptr, nullptr,
                                  D3DX_DEFAULT, 0);
  };
  ASSERT_EQ(pixels->methods().LoadGLPixels(pixels, kGlRgba, rgba.data()), S_OK);
  ASSERT_EQ(upload(), S_OK);
  const std::size_t after_first = counter.allocated.size();
  for (INT extent : {128, 64, 32, 16, 8, 4, 2, 1, 256, 128, 64, 32, 16, 8, 4, 2, 1}) {
    ASSERT_EQ(reinitialize(blocks, extent % 8 ? D3DFMT_DXT1 : D3DFMT_DXT5, extent, extent), S_OK);
    if (extent % 32 == 0) {
      ASSERT_EQ(reinitialize(pixels, D3DFMT_A8R8G8B8, extent, extent, rgba.data()), S_OK);
    } else {
      ASSERT_EQ(reinitialize(pixels, D3DFMT_R8G8B8, extent, extent), S_OK);
      ASSERT_EQ(pixels->methods().LoadGLPixels(pixels, kGlRgb, rgba.data()), S_OK);
    }
    ASSERT_EQ(upload(), S_OK);
  }
  EXPECT_EQ(counter.allocated.size(), after_first);
  EXPECT_TRUE(counter.released.empty());
}

}  // namespace
}  // namespace qelt
