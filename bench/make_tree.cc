// Builds the benchmark trees, the same every time:
//   make_tree wide DIR SIZE      100,000 files in DIR
//   make_tree balanced DIR SIZE  10 x 10 directories of 1,000 files
//   make_tree small DIR SIZE     10,000 directories (100 x 100) of 10 files
//   make_tree deep DIR SIZE      1,000 nested directories of 10 files each
// Every file holds SIZE bytes. Prints the number of entries made below DIR.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

char g_data[1 << 20];
long g_entries = 0;

void Fail(const char* what) {
  std::perror(what);
  std::exit(1);
}

int MakeDirectory(int parent, const std::string& name) {
  if (::mkdirat(parent, name.c_str(), 0755) != 0) Fail("mkdirat");
  int fd = ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) Fail("openat");
  ++g_entries;
  return fd;
}

void MakeFiles(int dir, int count, long size) {
  for (int i = 0; i < count; ++i) {
    std::string name = "file" + std::to_string(i);
    int fd = ::openat(dir, name.c_str(),
                      O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) Fail("openat file");
    if (size > 0 && ::write(fd, g_data, static_cast<std::size_t>(size)) != size)
      Fail("write");
    ::close(fd);
    ++g_entries;
  }
}

// `side` x `side` directories, two levels deep, of `files` files each.
void MakeGrid(int root, int side, int files, long size) {
  for (int i = 0; i < side; ++i) {
    int outer = MakeDirectory(root, "d" + std::to_string(i));
    for (int j = 0; j < side; ++j) {
      int inner = MakeDirectory(outer, "d" + std::to_string(j));
      MakeFiles(inner, files, size);
      ::close(inner);
    }
    ::close(outer);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr,
                 "usage: make_tree wide|balanced|small|deep DIR SIZE\n");
    return 2;
  }
  long size = std::atol(argv[3]);
  if (size < 0 || size > static_cast<long>(sizeof g_data)) Fail("size");
  std::memset(g_data, 'k', sizeof g_data);
  if (::mkdir(argv[2], 0755) != 0) Fail("mkdir");
  int root = ::open(argv[2], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (root < 0) Fail("open");
  if (std::strcmp(argv[1], "wide") == 0) {
    MakeFiles(root, 100000, size);
  } else if (std::strcmp(argv[1], "balanced") == 0) {
    MakeGrid(root, 10, 1000, size);
  } else if (std::strcmp(argv[1], "small") == 0) {
    MakeGrid(root, 100, 10, size);
  } else if (std::strcmp(argv[1], "deep") == 0) {
    int dir = ::dup(root);
    for (int level = 0; level < 1000; ++level) {
      MakeFiles(dir, 10, size);
      int next = MakeDirectory(dir, "d");
      ::close(dir);
      dir = next;
    }
    ::close(dir);
  } else {
    Fail("kind");
  }
  std::printf("%ld\n", g_entries);
  return 0;
}
