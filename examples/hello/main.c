#include "greet.h"

#include <stddef.h>

int main(int argc, char **argv)
{
    greet(argc > 1 ? argv[1] : NULL);
    return 0;
}
