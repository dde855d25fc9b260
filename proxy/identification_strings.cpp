#include "identification_strings.h"

#include <cstdlib>
#include <cstring>

#include "dispatch_tables.h"

namespace qelt {
namespace {

const char* const kAppended[4] = {
    " and Ostrel",                                              // GL_VENDOR
    "/Parlox Build 0106",                                       // GL_RENDERER
    " Parlox",                                                  // GL_VERSION
    "GL_EXT_paletted_texture GL_EXT_shared_texture_palette ",  // GL_EXTENSIONS
};

constexpr char kPalettedTexture[] = "GL_EXT_paletted_texture";

}  // namespace

IdentificationStrings::~IdentificationStrings() {
  for (auto& per_name : copies_)
    for (Copy& copy : per_name) release_(copy.text);
}

const GLubyte* IdentificationStrings::get(GetStringFunction driver, GLenum name) {
  const GLubyte* underlying = driver(name);
  if (name < GL_VENDOR || name > GL_EXTENSIONS || underlying == nullptr) return underlying;
  const char* text = reinterpret_cast<const char*>(underlying);
  unsigned index = name - GL_VENDOR;

  if (name == GL_EXTENSIONS && std::strstr(text, kPalettedTexture) != nullptr) return underlying;

  std::lock_guard<std::mutex> hold(lock_);
  std::vector<Copy>& per_name = copies_[index];
  for (const Copy& copy : per_name)
    if (copy.key == underlying) return reinterpret_cast<const GLubyte*>(copy.text);

  std::size_t length = std::strlen(text);
  std::size_t appended = std::strlen(kAppended[index]);
  char* copy = static_cast<char*>(allocate_(length + appended + 1));
  if (copy == nullptr) return underlying;
  std::memcpy(copy, text, length);
  std::memcpy(copy + length, kAppended[index], appended + 1);
  try {
    per_name.push_back({underlying, copy});
  } catch (...) {  // no room to remember it: the driver's own string, nothing thrown at the caller
    release_(copy);
    return underlying;
  }
  return reinterpret_cast<const GLubyte*>(copy);
}

const GLubyte* identification_string(unsigned table, GLenum name) {
  // Never destroyed: a copy handed out stays valid until the process ends.
  static IdentificationStrings& strings = *new IdentificationStrings(std::malloc, std::free);
  return strings.get(driver_get_string(table), name);
}

}  // namespace qelt
