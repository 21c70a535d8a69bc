/* A program built against the installed library, as a user's C host is:
 * reads SEGFILE (80-byte Segment records back to back), calls sp once and
 * prints "result N" and "error TEXT" as the golden cases state them. The
 * settings come from $BREVANTO_SETTINGS, the program goes to
 * $BREVANTO_OUTPUT_DIR/Brevanto.tap. */
#include <brevanto/brevanto.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: consumer SEGFILE\n");
    return 2;
  }
  FILE* file = fopen(argv[1], "rb");
  if (file == NULL) {
    perror(argv[1]);
    return 2;
  }
  Segment segments[64];
  const size_t count = fread(segments, sizeof segments[0], 64, file);
  fclose(file);
  const int32_t lastIndex = (int32_t)count - 1;
  printf("result %d\nerror %s", (int)sp(segments, &lastIndex), spLastError());
  return 0;
}
