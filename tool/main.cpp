// Placeholder program entry until the driver lands.
#include <iostream>

int main(int argc, char** argv) {
    (void)argv;
    if (argc < 2) std::cerr << "Usage:\n";
    return 0;
}
