#ifndef KESTRIM_PLATFORM_LISTING_H_
#define KESTRIM_PLATFORM_LISTING_H_

// The inside of a directory handle, shared by the parts of the file layer.

#include <sys/types.h>

#include <cstddef>

#include "platform/file_api.h"

struct FindListing {
  int fd;
  bool reading;       // between FindFirstFileA and FindClose
  bool device_known;  // `device` below has been read
  // An operation that may still use `fd` could not be waited for, so the
  // descriptor is never closed: its number must not come to mean another
  // directory.
  bool pinned;
  // Set by RemoveDirectoryWhenEmptyA: remove this directory, `name` inside
  // `parent`, once `outstanding` reaches 0.
  bool remove_when_empty;
  char* buffer;  // unread entries, in the layer's arena
  std::size_t capacity;
  std::size_t filled;
  std::size_t next;
  // Only where the kernel cannot tell mount roots: the listing's device.
  dev_t device;
  // Entries of this directory whose deletion or removal has started and not
  // finished.
  long outstanding;
  FindListing* parent;
  char name[kMaxNameSize];
};

#endif  // KESTRIM_PLATFORM_LISTING_H_
