/* A 32-bit Windows console program that only says it ran: whether this host
   can run the shipped wizard under Wine is found out by running this. */
#include <stdio.h>

int main(void) {
  puts("32-bit Windows programs run here");
  return 0;
}
