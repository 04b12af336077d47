#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// UTF-8 for text files and file names. Wide strings are UTF-16 on Windows and
// UTF-32 on Linux; both directions keep every code unit:
// - a surrogate pair (or, with 32-bit wchar_t, a code point above U+FFFF) is one
//   4-byte sequence and reads back as the pair (or the one code point);
// - a lone surrogate keeps its 3-byte form, so what was written reads back.

// UTF-16 surrogate pairs, wherever they are met (UTF-8, PE resource names):
// a code point above U+FFFF travels as a high and a low half.
constexpr bool IsHighSurrogate(uint32_t Unit) { return Unit >= 0xD800 && Unit <= 0xDBFF; }
constexpr bool IsLowSurrogate(uint32_t Unit) { return Unit >= 0xDC00 && Unit <= 0xDFFF; }
constexpr uint32_t CombineSurrogates(uint32_t High, uint32_t Low) { return 0x10000 + ((High - 0xD800) << 10) + (Low - 0xDC00); }
constexpr uint32_t HighSurrogateOf(uint32_t CodePoint) { return 0xD800 | ((CodePoint - 0x10000) >> 10); }
constexpr uint32_t LowSurrogateOf(uint32_t CodePoint) { return 0xDC00 | ((CodePoint - 0x10000) & 0x3FF); }

// Fails only for a 32-bit value above U+10FFFF, which has no UTF-8 form.
bool TryEncodeUtf8(const std::wstring& Text, std::string& OutBytes);

// Like TryEncodeUtf8, with U+FFFD standing in for a value that has no UTF-8 form.
std::string EncodeUtf8Lossless(const std::wstring& Text);

// Strict decoding: overlong forms, values above U+10FFFF, stray continuation
// bytes and cut sequences are refused. OutErrorOffset receives the offset of the
// first byte of the offending sequence.
bool TryDecodeUtf8(const std::string& Bytes, std::wstring& OutText, size_t& OutErrorOffset);

// The telemetry form: every UTF-16 code unit encoded by itself, so a surrogate
// pair becomes two 3-byte sequences. Wide strings are 32-bit on Linux, so a
// supplementary code point is split into its pair first and every build sends
// the same bytes; a value above U+10FFFF becomes U+FFFD.
std::string EncodeUtf8ByCodeUnit(const std::wstring& Text);

// Decoding for text that must not fail (the system's and libraries' messages):
// every byte that does not start a valid sequence becomes U+FFFD.
std::wstring DecodeUtf8Lossless(const std::string& Bytes);

// The pieces the codecs above are made of, for a codec of other rules (Linux
// system text) that must agree with them byte for byte. A surrogate is written
// as its 3-byte form and read from it, as above; CodePoint is at most U+10FFFF.
void AppendUtf8Sequence(std::string& Out, uint32_t CodePoint);
// The length of the one valid sequence at Offset (inside Bytes), or 0 when none starts there.
size_t DecodeUtf8Sequence(const std::string& Bytes, size_t Offset, uint32_t& OutCodePoint);
