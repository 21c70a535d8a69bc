/* A stand-in for the VBA macro: loads Brevanto.dll the way a Declare
 * statement does (LoadLibraryA, GetProcAddress by plain name), passes a
 * Segment array by reference together with its upper bound, and prints what
 * came back.
 *
 *   host DLL SEGFILE [CALLS [hold]]
 *
 * SEGFILE holds the 80-byte records back to back. The call is made CALLS
 * times (default 1). With "hold", C:\Brevanto\Brevanto.tap is kept open for
 * reading and writing by this process during the calls, as a viewer or the
 * machine's controller software may have it open. Prints "result N" and
 * "error TEXT" of the last call.
 * On 32-bit x86 the odd calls are made by hand, measuring the stack across
 * the call instruction, the even ones by the compiler through the stdcall
 * pointer, measuring the stack across the statement.
 * Exit status: 0 when the calls ran, 1 on bad usage or a missing DLL or
 * export, 2 when the caller's stack was not left as it was. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include "brevanto/brevanto.h"

/* Spelled out here rather than taken from the header: the test must catch a
 * DLL whose convention differs from what a VBA Declare assumes. */
typedef int32_t(__stdcall* SpFunction)(const Segment* segments, const int32_t* lastIndex);
typedef const char*(__stdcall* LastErrorFunction)(void);

static Segment* readSegments(const char* path, int32_t* lastIndex) {
  FILE* file = fopen(path, "rb");
  if (file == NULL) return NULL;
  size_t capacity = 16, count = 0;
  Segment* segments = malloc(capacity * sizeof *segments);
  while (segments != NULL && fread(&segments[count], sizeof *segments, 1, file) == 1) {
    if (++count == capacity) {
      capacity *= 2;
      Segment* grown = realloc(segments, capacity * sizeof *segments);
      if (grown == NULL) free(segments);
      segments = grown;
    }
  }
  fclose(file);
  *lastIndex = (int32_t)count - 1; /* the array's upper bound: -1 when empty */
  return segments;
}

#if defined(__i386__)
/* Calls sp and reports how far ESP moved across the call. A stdcall callee
 * removes its own two arguments, so a correct DLL leaves 0; a cdecl one
 * would leave -8 and corrupt a VBA caller's stack. */
static int32_t callMeasuringStack(SpFunction sp, const Segment* segments, const int32_t* lastIndex,
                                  long* stackShift) {
  int32_t result;
  long shift;
  __asm__ volatile(
      "movl %%esp, %%edi\n\t"
      "pushl %[last]\n\t"
      "pushl %[segs]\n\t"
      "call *%[fn]\n\t"
      "movl %%esp, %%ecx\n\t"
      "subl %%edi, %%ecx\n\t"
      "movl %%edi, %%esp\n\t" /* put it right, whatever happened, to report it */
      : "=a"(result), "=c"(shift)
      : [fn] "r"(sp), [segs] "r"(segments), [last] "r"(lastIndex)
      : "edx", "edi", "memory", "cc");
  *stackShift = shift;
  return result;
}

static long readStackPointer(void) {
  long esp;
  __asm__ volatile("movl %%esp, %0" : "=r"(esp) : : "memory");
  return esp;
}

/* The same call as the compiler makes it through the stdcall-typed pointer,
 * as a VBA Declare's caller would: however this compiler passes arguments
 * (pushes, or stores into space it reserved once and then restores after a
 * callee that pops), the stack pointer is back where it was only when sp
 * removed exactly its 8 bytes. Built by gcc and by clang, this checks sp
 * against two compilers' calling code. */
static int32_t callAsCompiled(SpFunction sp, const Segment* segments, const int32_t* lastIndex,
                              long* stackShift) {
  const long before = readStackPointer();
  const int32_t result = sp(segments, lastIndex);
  *stackShift = readStackPointer() - before;
  return result;
}
#else
static int32_t callMeasuringStack(SpFunction sp, const Segment* segments, const int32_t* lastIndex,
                                  long* stackShift) {
  *stackShift = 0; /* x64 has one calling convention; the caller cleans up */
  return sp(segments, lastIndex);
}
#define callAsCompiled callMeasuringStack
#endif

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: host DLL SEGFILE [CALLS]\n");
    return 1;
  }
  const int calls = argc > 3 ? atoi(argv[3]) : 1;

  HMODULE dll = LoadLibraryA(argv[1]);
  if (dll == NULL) {
    fprintf(stderr, "cannot load %s (error %lu)\n", argv[1], (unsigned long)GetLastError());
    return 1;
  }
  SpFunction sp = (SpFunction)(void (*)(void))GetProcAddress(dll, "sp");
  LastErrorFunction spLastError =
      (LastErrorFunction)(void (*)(void))GetProcAddress(dll, "spLastError");
  if (sp == NULL || spLastError == NULL) {
    fprintf(stderr, "Brevanto.dll lacks sp or spLastError\n");
    return 1;
  }

  int32_t lastIndex = -1;
  Segment* segments = readSegments(argv[2], &lastIndex);
  if (segments == NULL) {
    fprintf(stderr, "cannot read %s\n", argv[2]);
    return 1;
  }

  HANDLE held = INVALID_HANDLE_VALUE;
  if (argc > 4 && strcmp(argv[4], "hold") == 0) {
    held = CreateFileA("C:\\Brevanto\\Brevanto.tap", GENERIC_READ | GENERIC_WRITE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS, 0, NULL);
    if (held == INVALID_HANDLE_VALUE) {
      fprintf(stderr, "cannot hold the program file open (error %lu)\n",
              (unsigned long)GetLastError());
      return 1;
    }
  }

  int32_t result = 0;
  for (int i = 0; i < calls; ++i) {
    long stackShift = 0;
    /* Every other call as the compiler makes it, the first by hand. */
    result = i % 2 == 0 ? callMeasuringStack(sp, segments, &lastIndex, &stackShift)
                        : callAsCompiled(sp, segments, &lastIndex, &stackShift);
    if (stackShift != 0) {
      fprintf(stderr, "call %d moved the caller's stack by %ld bytes\n", i + 1, stackShift);
      return 2;
    }
  }
  if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
  printf("result %d\n", (int)result);
  printf("error %s\n", spLastError());
  fflush(stdout);

  free(segments);
  FreeLibrary(dll);
  return 0;
}
