/* Tells whether this machine can run 32-bit x86 code in a 64-bit Linux
   process, which Wine's WoW64 needs: a child process makes a far return
   into the kernel's 32-bit user code segment, runs two instructions there
   and returns.  Some hypervisors offer no such segment; the child then dies
   of a fault.  Exit status 0: 32-bit code runs; 1: it cannot. */
#include <stdio.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#define USER32_CS 0x23 /* the 32-bit user code segment of x86-64 Linux */
#define USER64_CS 0x33

static int RunIn32BitSegment(void)
{
    /* Code, stack and return address must lie below 4 GB for 32-bit code. */
    unsigned char *pLow = mmap((void *)0x100000, 8192, PROT_READ | PROT_WRITE | PROT_EXEC,
                               MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
    if (pLow == MAP_FAILED)
        return 2;
    static const unsigned char code[] = {0xb8, 42, 0, 0, 0, 0xcb}; /* mov eax,42; retf */
    memcpy(pLow, code, sizeof code);
    unsigned long nResult;
    __asm__ volatile("mov %%rsp, %%rbx\n\t"
                     "lea 1f(%%rip), %%rcx\n\t"
                     "mov $0x101ff0, %%rsp\n\t"
                     "sub $8, %%rsp\n\t"
                     "movl %%ecx, (%%rsp)\n\t"
                     "movl %[cs64], 4(%%rsp)\n\t"
                     "pushq %[cs32]\n\t"
                     "pushq $0x100000\n\t"
                     "lretq\n"
                     "1:\n\t"
                     "mov %%rbx, %%rsp\n\t"
                     : "=a"(nResult)
                     : [cs32] "i"(USER32_CS), [cs64] "i"(USER64_CS)
                     : "rbx", "rcx", "memory");
    /* The upper half of a register is undefined after 32-bit code. */
    return (unsigned)nResult == 42 ? 0 : 1;
}

int main(void)
{
    pid_t pid = fork();
    if (pid < 0)
        return 1;
    if (pid == 0)
        _exit(RunIn32BitSegment());
    int status = 0;
    if (waitpid(pid, &status, 0) != pid)
        return 1;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1;
}
