// varda-archive: builds and reads the description archive varda.dat. The archive format comes next.
#include <cstdio>

int main() {
    std::fprintf(stderr, "varda-archive: the description archive is not built yet\n");
    return 1;
}
