#include <cstdio>

int main() {
    std::fprintf(stderr, "vexa_out_fbdev: not built yet\n");
    return 1;
}
