// The trampoline's code lives in a heap of executable memory of its own: the objects
// themselves sit on the stack or the ordinary heap, which Data Execution Prevention
// does not let the processor run.
#include "framework/trampoline.h"

#include <stdint.h>

#pragma pack(push, 1)
#if defined(__i386__) || defined(_M_IX86)
// 32-bit x86: the platform calls a window procedure with the stack holding the return
// address, then the window, message, wParam and lParam (stdcall). The code overwrites the
// window argument with the object and jumps to the bound procedure, which then returns
// straight to the platform and pops the four arguments itself.
struct Trampoline::Code {
    uint8_t storeOpcode[4];  // mov dword ptr [esp+4], imm32
    uint32_t object;
    uint8_t jumpOpcode;    // jmp rel32
    int32_t jumpDistance;  // from the end of this instruction
};
#elif defined(__x86_64__) || defined(_M_X64)
// x64: the window arrives in rcx and the other three arguments in rdx, r8 and r9. The code
// puts the object in rcx and jumps through rax (a scratch register) to the bound procedure.
// The stack is left as the caller made it, so the return address stays on top and the
// procedure returns straight to the platform; without unwind data the code counts as a
// leaf, which it is.
struct Trampoline::Code {
    uint8_t loadObjectOpcode[2];  // mov rcx, imm64
    uint64_t object;
    uint8_t loadProcedureOpcode[2];  // mov rax, imm64
    uint64_t procedure;
    uint8_t jumpOpcode[2];  // jmp rax
};
#else
#error "the trampoline has code for x86 and x64 only"
#endif
#pragma pack(pop)

namespace {

// Created on first use and never destroyed: a trampoline must stay valid for as long as
// any window can call it, and the process's end reclaims the heap anyway.
HANDLE ExecutableHeap()
{
    static HANDLE heap = HeapCreate(HEAP_CREATE_ENABLE_EXECUTE, 0, 0);
    return heap;
}

}  // namespace

Trampoline::~Trampoline()
{
    if (code != nullptr) HeapFree(ExecutableHeap(), 0, code);
}

bool Trampoline::Allocate()
{
    if (code != nullptr) return true;
    HANDLE heap = ExecutableHeap();
    if (heap == nullptr) return false;
    code = (Code*)HeapAlloc(heap, 0, sizeof(Code));
    return code != nullptr;
}

void Trampoline::Write(WindowBinding* object, BoundProcedure procedure)
{
#if defined(__i386__) || defined(_M_IX86)
    static_assert(sizeof(Code) == 13, "the trampoline's instructions must be packed");
    code->storeOpcode[0] = 0xC7;
    code->storeOpcode[1] = 0x44;
    code->storeOpcode[2] = 0x24;
    code->storeOpcode[3] = 0x04;
    code->object = (uint32_t)(uintptr_t)object;
    code->jumpOpcode = 0xE9;
    code->jumpDistance = (int32_t)((uintptr_t)procedure - (uintptr_t)(code + 1));
#else
    static_assert(sizeof(Code) == 22, "the trampoline's instructions must be packed");
    code->loadObjectOpcode[0] = 0x48;
    code->loadObjectOpcode[1] = 0xB9;
    code->object = (uint64_t)(uintptr_t)object;
    code->loadProcedureOpcode[0] = 0x48;
    code->loadProcedureOpcode[1] = 0xB8;
    code->procedure = (uint64_t)(uintptr_t)procedure;
    code->jumpOpcode[0] = 0xFF;
    code->jumpOpcode[1] = 0xE0;
#endif
    FlushInstructionCache(GetCurrentProcess(), code, sizeof(Code));
}
