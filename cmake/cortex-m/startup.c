/* Reset and run-time set-up for the Cortex-M builds: the vector table, .data and .bss, the C
 * library's semihosted standard streams, static constructors, the command line, then main and
 * exit. Linked into every program of a cortex-m preset; a firmware project has its own. */
#include <errno.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

extern uint32_t __data_load__[], __data_start__[], __data_end__[];
extern uint32_t __bss_start__[], __bss_end__[], __stack_top__[];

void initialise_monitor_handles(void);
void __libc_init_array(void);
int main(int argc, char** argv);

/* What crti, crtn and crtbegin would bring: __libc_init_array calls _init and _fini around the
 * constructors, and destructors registered with __cxa_atexit name the module by __dso_handle. */
void _init(void) {}
void _fini(void) {}
void* __dso_handle = &__dso_handle;

/* The one POSIX call GoogleTest makes that semihosting has no counterpart for. */
int mkdir(const char* path, mode_t mode) {
  (void)path;
  (void)mode;
  errno = ENOSYS;
  return -1;
}

enum { kSysGetCmdline = 0x15, kMaxArgs = 32 };

/* ARMv6-M and ARMv7-M trap to the debugger (here QEMU) with BKPT 0xAB. */
static int Semihost(int operation, void* argument) {
  register int r0 __asm__("r0") = operation;
  register void* r1 __asm__("r1") = argument;
  __asm__ volatile("bkpt 0xAB" : "+r"(r0) : "r"(r1) : "memory");
  return r0;
}

/* The host hands the arguments over as one line with blanks between them. */
static int CommandLine(char** argv) {
  static char line[512];
  struct {
    char* buffer;
    int size;
  } block = {line, sizeof line - 1};
  int argc = 0;
  if (Semihost(kSysGetCmdline, &block) != 0) {
    return 0;
  }
  line[block.size] = '\0';
  for (char* p = strtok(line, " "); p != NULL && argc < kMaxArgs; p = strtok(NULL, " ")) {
    argv[argc++] = p;
  }
  return argc;
}

void Reset_Handler(void) {
  memcpy(__data_start__, __data_load__, (size_t)((char*)__data_end__ - (char*)__data_start__));
  memset(__bss_start__, 0, (size_t)((char*)__bss_end__ - (char*)__bss_start__));
  initialise_monitor_handles();
  __libc_init_array();
  static char* argv[kMaxArgs + 1];
  const int argc = CommandLine(argv);
  exit(main(argc, argv));
}

/* A fault or a stray interrupt ends the run with a failure rather than hanging the emulator. */
void Default_Handler(void) { _Exit(EXIT_FAILURE); }

__attribute__((section(".isr_vector"), used)) void (*const ledcolor_vectors[16])(void) = {
    (void (*)(void))__stack_top__,
    Reset_Handler,
    Default_Handler,
    Default_Handler,
    Default_Handler,
    Default_Handler,
    Default_Handler,
    0,
    0,
    0,
    0,
    Default_Handler,
    Default_Handler,
    0,
    Default_Handler,
    Default_Handler,
};
