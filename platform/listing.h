#ifndef KESTRIM_PLATFORM_LISTING_H_
#define KESTRIM_PLATFORM_LISTING_H_

// The inside of a listing handle, shared by the parts of the file layer.

#include <sys/types.h>

#include <cstddef>

struct FindListing {
  int fd;
  bool open;
  bool device_known;  // `device` below has been read
  char* buffer;       // unread entries, in the layer's arena
  std::size_t capacity;
  std::size_t filled;
  std::size_t next;
  // Only where the kernel cannot tell mount roots: the listing's device.
  dev_t device;
  // Files of this directory whose deletion has been started.
  long files_started;
};

#endif  // KESTRIM_PLATFORM_LISTING_H_
