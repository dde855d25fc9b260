// The proxy's identification in the GL strings: the vendor, renderer and version strings come back
// with its own text appended, and the extension list gains the two palette extensions unless the
// driver already lists GL_EXT_paletted_texture.
#pragma once

#include <cstddef>

#include "critical_section.h"
#include "gl_types.h"

namespace qelt {

class IdentificationStrings {
 public:
  using Allocate = void* (*)(std::size_t size);
  using Release = void (*)(void* block);

  IdentificationStrings(Allocate allocate, Release release)
      : allocate_(allocate), release_(release) {}
  ~IdentificationStrings();
  IdentificationStrings(const IdentificationStrings&) = delete;
  IdentificationStrings& operator=(const IdentificationStrings&) = delete;

  // Calls the driver's glGetString and returns its string, augmented for the four names. There is
  // one copy per name and driver pointer, made the first time the driver returns that pointer and
  // kept as long as this object lives: a caller may still be reading a copy handed out earlier.
  const GLubyte* get(GetStringFunction driver, GLenum name);

 private:
  // One allocation per copy: the driver's string it was made from, and the text after it.
  struct Copy {
    const GLubyte* key;
    Copy* next;
    char text[1];
  };

  Allocate allocate_;
  Release release_;
  CriticalSection lock_;  // held around the search and the making of a copy
  Copy* copies_[4] = {};
};

// The routine behind both glGetString hooks: `table` names the dispatch table the call came in on.
const GLubyte* identification_string(unsigned table, GLenum name);

}  // namespace qelt
