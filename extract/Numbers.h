// Numbers: the byte orders the stored formats use, and the rounding of
// fractions shown on screen. One copy of each for the whole program.
#pragma once

#include <cstdint>

inline uint16_t ReadLE16(const uint8_t* At) {
  return uint16_t(At[0] | At[1] << 8);
}
inline uint32_t ReadLE32(const uint8_t* At) {
  return uint32_t(At[0]) | uint32_t(At[1]) << 8 | uint32_t(At[2]) << 16 | uint32_t(At[3]) << 24;
}
// JPEG segment lengths and PNG headers are big-endian.
inline uint16_t ReadBE16(const uint8_t* At) {
  return uint16_t(At[0] << 8 | At[1]);
}
inline uint32_t ReadBE32(const uint8_t* At) {
  return uint32_t(At[0]) << 24 | uint32_t(At[1]) << 16 | uint32_t(At[2]) << 8 | uint32_t(At[3]);
}
inline void WriteLE16(uint8_t* At, uint16_t Value) {
  At[0] = uint8_t(Value);
  At[1] = uint8_t(Value >> 8);
}
inline void WriteLE32(uint8_t* At, uint32_t Value) {
  for (int i = 0; i < 4; ++i) At[i] = uint8_t(Value >> (8 * i));
}

// Numerator / Denominator (Numerator >= 0, Denominator > 0) to the nearest
// integer, halves to the even neighbour.
inline int64_t RoundHalfEven(int64_t Numerator, int64_t Denominator) {
  int64_t Quotient = Numerator / Denominator;
  const int64_t Twice = 2 * (Numerator % Denominator);
  if (Twice > Denominator || (Twice == Denominator && (Quotient & 1))) ++Quotient;
  return Quotient;
}
