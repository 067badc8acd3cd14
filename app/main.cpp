#include <cstdio>

int main() {
    std::puts("Gleanwick: start-up is not built yet.");
    return 1;
}
