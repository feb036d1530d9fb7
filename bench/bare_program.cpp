// A C++ program that does nothing: what starting any process costs, to compare the
// renderer's start with.
#include <cstdio>

int main() {
    return std::fflush(stdout);
}
