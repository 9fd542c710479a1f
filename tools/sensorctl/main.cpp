// Placeholder: the bench tool grows here.
#include <cstdio>

int main() {
    std::puts("sensorctl");
    return 0;
}
