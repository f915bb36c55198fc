// The installer call, with the stack kept on i686 the way Wine's user32 calls
// window procedures that may be declared with the wrong convention.
#include "InstallerCall.h"

#if defined(__i386__) && defined(__GNUC__)
// int CallKeepingStack(void* pfn, arg1, arg2, arg3, arg4), __cdecl: pushes
// the four arguments, calls pfn, then takes the stack pointer back from the
// frame, whether pfn popped its arguments or not.
#define QBX_STR2(x) #x
#define QBX_STR(x) QBX_STR2(x)
#define QBX_ASM_NAME(name) QBX_STR(__USER_LABEL_PREFIX__) #name
extern "C" int CallKeepingStack(PFN_UPDATEINFDEVICEDRIVER pfn, const char*, int, int, char*);
// clang-format off
asm(".text\n"
    ".globl " QBX_ASM_NAME(CallKeepingStack) "\n"
    QBX_ASM_NAME(CallKeepingStack) ":\n"
    "    pushl %ebp\n"
    "    movl %esp, %ebp\n"
    "    pushl %edi\n"
    "    pushl %esi\n"
    "    pushl %ebx\n"
    "    pushl 24(%ebp)\n"
    "    pushl 20(%ebp)\n"
    "    pushl 16(%ebp)\n"
    "    pushl 12(%ebp)\n"
    "    call *8(%ebp)\n"
    "    leal -12(%ebp), %esp\n"
    "    popl %ebx\n"
    "    popl %esi\n"
    "    popl %edi\n"
    "    popl %ebp\n"
    "    ret\n");
// clang-format on
#elif defined(_MSC_VER) && defined(_M_IX86)
extern "C" __declspec(naked) int __cdecl CallKeepingStack(PFN_UPDATEINFDEVICEDRIVER, const char*, int, int, char*)
{
    __asm {
        push ebp
        mov ebp, esp
        push edi
        push esi
        push ebx
        push dword ptr [ebp + 24]
        push dword ptr [ebp + 20]
        push dword ptr [ebp + 16]
        push dword ptr [ebp + 12]
        call dword ptr [ebp + 8]
        lea esp, [ebp - 12]
        pop ebx
        pop esi
        pop edi
        pop ebp
        ret
    }
}
#else
#define QBX_ONE_CONVENTION
#endif

int CallUpdateInfDeviceDriver(PFN_UPDATEINFDEVICEDRIVER pfnUpdate, const char* pszInfPath, int nArg2, int nArg3,
                              char* pszBuffer)
{
#ifdef QBX_ONE_CONVENTION
    return pfnUpdate(pszInfPath, nArg2, nArg3, pszBuffer);
#else
    return CallKeepingStack(pfnUpdate, pszInfPath, nArg2, nArg3, pszBuffer);
#endif
}
