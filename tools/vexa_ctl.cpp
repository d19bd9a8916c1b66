#include <cstdio>

int main() {
    std::fprintf(stderr, "vexa_ctl: not built yet\n");
    return 2;
}
