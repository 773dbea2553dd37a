/* Says what kind of process it runs as; scripts/wow64.sh builds it for
   32-bit Windows and expects "32-bit process under WoW64". */
#include <stdio.h>
#include <windows.h>

int main(void)
{
    BOOL fWow64 = FALSE;
    if (!IsWow64Process(GetCurrentProcess(), &fWow64)) {
        printf("IsWow64Process failed: %lu\n", GetLastError());
        return 1;
    }
    printf("%d-bit process%s\n", (int)(sizeof(void *) * 8), fWow64 ? " under WoW64" : "");
    return fWow64 && sizeof(void *) == 4 ? 0 : 1;
}
