/* The smallest honest console program: the floor parthash's whole-process time is held to. */
#include <stdio.h>

int main(void) {
  fputs("0x3A4ECE31\n", stdout);
  return 0;
}
