// The floor for a native listing: a walk straight over getdents64 that reads each folder
// to its end before its sub-folders, opens them relative to their parent and writes
// nothing. Prints the number of entries below FOLDER.
//   bare_walk FOLDER
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

size_t Walk(int dir) {
    static char batch[32768];
    std::vector<std::string> folders;
    size_t n = 0;
    for (ssize_t got; (got = getdents64(dir, batch, sizeof batch)) > 0;) {
        for (ssize_t at = 0; at < got;) {
            const auto* e = reinterpret_cast<const dirent64*>(batch + at);
            at += e->d_reclen;
            const char* name = e->d_name;
            if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
            ++n;
            if (e->d_type == DT_DIR) folders.emplace_back(name);
        }
    }
    for (const std::string& f : folders) {
        const int sub = openat(dir, f.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (sub == -1) continue;
        n += Walk(sub);
        close(sub);
    }
    return n;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: bare_walk FOLDER\n");
        return 2;
    }
    const int root = open(argv[1], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (root == -1) {
        std::perror(argv[1]);
        return 1;
    }
    std::printf("%zu\n", Walk(root));
    return 0;
}
