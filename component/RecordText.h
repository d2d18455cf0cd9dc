// The text of a fixed-size character field of an inventory record. The field is read up to its
// first NUL and never past its end, so a field that fills its array whole is still safe to read.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>

template <std::size_t N>
std::string RecordText(const char (&field)[N]) {
  return std::string(field, strnlen(field, N));
}
