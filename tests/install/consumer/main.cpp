// A host program outside the source tree: builds a small scene through the
// installed headers and library and checks what it reads back.
#include "ketra.h"

#include <cstdio>

int main() {
    HC_Open_Segment("/consumer/pipe");
    const float points[] = {0, 0, 0, 1, 0, 0, 1, 1, 0};
    const int faces[] = {3, 0, 1, 2};
    HC_KEY shell = HC_Insert_Shell(3, points, 4, faces);
    HC_Close_Segment();
    int pcount = 0, flen = 0;
    HC_Show_Shell_Size(shell, &pcount, &flen);
    if (pcount != 3 || flen != 4) {
        std::fprintf(stderr, "consumer: shell read back as %d points, %d face ints\n", pcount, flen);
        return 1;
    }
    std::printf("consumer: ok\n");
    return 0;
}
