// Calls an export as function type F and tells how many bytes of its arguments it took off the
// stack on return. On 32-bit the argument words are pushed by a small assembler routine that
// measures the stack pointer across the call, so a wrong pop shows as a number, not as a
// corrupted frame; on x86-64 the caller owns the argument area, a plain call is made and the
// answer is 0.
#pragma once

#include <windows.h>

#include <cstdint>
#include <tuple>

#include "standin_log.h"

#if defined(__i386__)
extern "C" unsigned call_with_words(FARPROC function, const std::uint32_t* words, unsigned count);
#endif

template <typename F>
unsigned call_counting_pops(FARPROC function, const typename ArgumentWords<F>::Values& values) {
#if defined(__i386__)
  auto words = std::apply(ArgumentWords<F>::to_words, values);
  return call_with_words(function, words.data(), static_cast<unsigned>(words.size()));
#else
  std::apply(reinterpret_cast<F*>(function), values);
  return 0;
#endif
}
