#include "removal/pending.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "app/output.h"

namespace {

// Lines waiting to be printed, oldest first, their texts in one ring.
enum class Line : std::uint8_t { kDirectory, kLeft, kUnlisted };
struct WaitingLine {
  unsigned long after;  // printed once this many file outcomes are out
  std::uint32_t offset;
  Line kind;
};
constexpr std::uint32_t kTextRoom = 256 << 10;
constexpr unsigned kMaxWaitingLines = 4096;
char g_text[kTextRoom];
WaitingLine g_lines[kMaxWaitingLines];
unsigned long g_first_line = 0;
unsigned long g_next_line = 0;
std::uint32_t g_text_end = 0;  // where the next text goes

WaitingLine& LineAt(unsigned long n) { return g_lines[n % kMaxWaitingLines]; }

void PrintFile(const char* name, bool deleted) {
  PrintText("\t");
  PrintName(name);
  PrintText(deleted ? "\n" : " - Failed!\n");
}

void PrintLine(Line kind, const char* text) {
  switch (kind) {
    case Line::kDirectory:
      PrintName(text);
      PrintText("\n");
      break;
    case Line::kLeft:
      PrintFile(text, false);
      break;
    case Line::kUnlisted:
      PrintText("Path not found: [");
      PrintName(text);
      PrintText("]\n");
      break;
  }
}

// Where a text of `size` bytes can go in the ring, or kTextRoom when it is
// full. Texts are kept whole: one that does not fit before the end starts
// again at the front.
std::uint32_t FindRoom(std::size_t size) {
  if (g_first_line == g_next_line) g_text_end = 0;
  std::uint32_t start = g_text_end;
  std::uint32_t oldest =
      g_first_line == g_next_line ? 0 : LineAt(g_first_line).offset;
  bool wrapped = g_first_line != g_next_line && oldest >= start;
  if (wrapped) return start + size < oldest ? start : kTextRoom;
  if (start + size <= kTextRoom) return start;
  return size < oldest ? 0 : kTextRoom;
}

bool Store(Line kind, const char* text, unsigned long after) {
  if (g_next_line - g_first_line == kMaxWaitingLines) return false;
  std::size_t size = std::strlen(text) + 1;
  std::uint32_t offset = FindRoom(size);
  if (offset == kTextRoom) return false;
  std::memcpy(g_text + offset, text, size);
  g_text_end = offset + static_cast<std::uint32_t>(size);
  LineAt(g_next_line++) = {after, offset, kind};
  return true;
}

void PrintDueLines(const WalkState& walk) {
  while (g_first_line != g_next_line &&
         LineAt(g_first_line).after <= walk.collected) {
    const WaitingLine& line = LineAt(g_first_line++);
    PrintLine(line.kind, g_text + line.offset);
  }
}

// Collects the oldest file outcome, waiting for it if `wait`, and deals with
// what was waiting for it; false when there is none.
bool CollectOne(WalkState& walk, bool wait) {
  const char* name;
  bool deleted;
  if (!FinishDeleteFileA(wait, &name, &deleted)) return false;
  ++walk.collected;
  if (!deleted) walk.left_behind = true;
  if (!walk.options.Silent) {
    PrintFile(name, deleted);
    PrintDueLines(walk);
  }
  return true;
}

void QueueLine(WalkState& walk, Line kind, const char* text) {
  if (walk.options.Silent) return;
  // Nothing before it is still unknown.
  if (walk.started == walk.collected) {
    PrintLine(kind, text);
    return;
  }
  while (!Store(kind, text, walk.started)) CollectOne(walk, true);
}

}  // namespace

void DeleteFile(WalkState& walk, HANDLE listing, const char* name) {
  // Every slot holds an outcome still to be collected; the oldest goes
  // first, so that the lines keep the walk's order.
  while (!StartDeleteFileA(listing, name)) CollectOne(walk, true);
  ++walk.started;
  while (CollectOne(walk, false)) {
  }
}

void ReportDirectory(WalkState& walk, const char* path) {
  QueueLine(walk, Line::kDirectory, path);
}

void ReportLeft(WalkState& walk, const char* name) {
  walk.left_behind = true;
  QueueLine(walk, Line::kLeft, name);
}

void ReportUnlisted(WalkState& walk, const char* directory) {
  QueueLine(walk, Line::kUnlisted, directory);
}

void MakeRoomToOpen(WalkState& walk) {
  while (HandlesRunningLow() && (CollectOne(walk, true) || WaitForRemovalA())) {
  }
}

void FinishAll(WalkState& walk) {
  while (CollectOne(walk, true)) {
  }
  while (WaitForRemovalA()) {
  }
}
