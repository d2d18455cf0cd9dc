// Texts in fixed-size arrays: read no further than the array, and write cut to fit with the NUL
// (the rest of the array zero).
#pragma once

#include <cstddef>
#include <cstring>
#include <string>

inline void CopyCut(char* destination, size_t size, const char* text) {
  size_t length = strnlen(text, size - 1);
  memcpy(destination, text, length);
  memset(destination + length, 0, size - length);
}

template <size_t N>
void CopyCut(char (&destination)[N], const std::string& text) {
  CopyCut(destination, N, text.c_str());
}

template <size_t N>
std::string TextWithin(const char (&array)[N]) {
  return std::string(array, strnlen(array, N));
}
