#include "identification_strings.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "dispatch_tables.h"

namespace qelt {
namespace {

const char* const kAppended[4] = {
    " and Ostrel",                                             // GL_VENDOR
    "/Parlox Build 0106",                                      // GL_RENDERER
    " Parlox",                                                 // GL_VERSION
    "GL_EXT_paletted_texture GL_EXT_shared_texture_palette ",  // GL_EXTENSIONS
};

constexpr char kPalettedTexture[] = "GL_EXT_paletted_texture";

}  // namespace

IdentificationStrings::~IdentificationStrings() {
  for (Copy* first : copies_) {
    while (first != nullptr) {
      Copy* next = first->next;
      release_(first);
      first = next;
    }
  }
}

const GLubyte* IdentificationStrings::get(GetStringFunction driver, GLenum name) {
  const GLubyte* underlying = driver(name);
  if (name < GL_VENDOR || name > GL_EXTENSIONS || underlying == nullptr) return underlying;
  const char* text = reinterpret_cast<const char*>(underlying);
  unsigned index = name - GL_VENDOR;

  if (name == GL_EXTENSIONS && std::strstr(text, kPalettedTexture) != nullptr) return underlying;

  std::lock_guard<CriticalSection> hold(lock_);
  for (const Copy* copy = copies_[index]; copy != nullptr; copy = copy->next)
    if (copy->key == underlying) return reinterpret_cast<const GLubyte*>(copy->text);

  std::size_t length = std::strlen(text);
  std::size_t appended = std::strlen(kAppended[index]);
  // The added extension names stay names of their own: a list that does not end in a space (Wine
  // ends Mesa's with its WGL names, unspaced) gets one before them.
  bool separate = name == GL_EXTENSIONS && length > 0 && text[length - 1] != ' ';
  // No room for a copy: the driver's own string.
  auto* copy =
      static_cast<Copy*>(allocate_(offsetof(Copy, text) + length + separate + appended + 1));
  if (copy == nullptr) return underlying;
  copy->key = underlying;
  std::memcpy(copy->text, text, length);
  if (separate) copy->text[length++] = ' ';
  std::memcpy(copy->text + length, kAppended[index], appended + 1);
  copy->next = copies_[index];
  copies_[index] = copy;
  return reinterpret_cast<const GLubyte*>(copy->text);
}

namespace {

// Made when the library loads, before any hook can be reached, and never destroyed: a copy
// handed out stays valid until the process ends.
alignas(IdentificationStrings) unsigned char g_strings_storage[sizeof(IdentificationStrings)];
IdentificationStrings& g_strings =
    *new (g_strings_storage) IdentificationStrings(std::malloc, std::free);

}  // namespace

const GLubyte* identification_string(unsigned table, GLenum name) {
  return g_strings.get(driver_get_string(table), name);
}

}  // namespace qelt
