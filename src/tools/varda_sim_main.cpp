// varda-sim: serves one simulated module on a pseudo-terminal. The module itself grows with the link layer.
#include <cstdio>

int main() {
    std::fprintf(stderr, "varda-sim: the simulated module is not built yet\n");
    return 1;
}
