#include "text/terminal.h"

namespace {

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Bytes in the valid UTF-8 sequence at `text`, or 0 when none starts there.
// Overlong forms, surrogates and code points past U+10FFFF are not valid.
int SequenceLength(const unsigned char* text) {
  unsigned char lead = text[0];
  if (lead < 0x80) return 1;
  int length;
  unsigned char low = 0x80;  // bounds of the second byte
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (text[1] < low || text[1] > high) return 0;
  for (int i = 2; i < length; ++i) {
    if (!IsContinuation(text[i])) return 0;
  }
  return length;
}

}  // namespace

ShownCharacter NextCharacter(const char* text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  unsigned char lead = bytes[0];
  if (lead < 0x20 || lead == 0x7F) return {1, true};
  int length = SequenceLength(bytes);
  if (length == 0) return {1, lead >= 0x80 && lead <= 0x9F};
  // U+0080 to U+009F: 0xC2 followed by 0x80 to 0x9F.
  return {length, lead == 0xC2 && bytes[1] <= 0x9F};
}
