#include <cstdio>
int main() { std::puts("kirvo-cli " KIRVO_VERSION); return 0; }
