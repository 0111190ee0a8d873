// The trampoline's code lives in a heap of executable memory of its own: the objects
// themselves sit on the stack or the ordinary heap, which Data Execution Prevention
// does not let the processor run.
#include "framework/trampoline.h"

#include <stdint.h>

// 32-bit x86 only: the platform calls a window procedure with the stack holding the
// return address, then the window, message, wParam and lParam (stdcall). The code
// overwrites the window argument with the object and jumps to the bound procedure, which
// then returns straight to the platform and pops the four arguments itself.
#pragma pack(push, 1)
struct Trampoline::Code {
    uint8_t storeOpcode[4];  // mov dword ptr [esp+4], imm32
    uint32_t object;
    uint8_t jumpOpcode;  // jmp rel32
    int32_t jumpDistance;  // from the end of this instruction
};
#pragma pack(pop)

static_assert(sizeof(void*) == 4, "the trampoline is 32-bit x86 code");

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
    static_assert(sizeof(Code) == 13, "the trampoline's instructions must be packed");
    code->storeOpcode[0] = 0xC7;
    code->storeOpcode[1] = 0x44;
    code->storeOpcode[2] = 0x24;
    code->storeOpcode[3] = 0x04;
    code->object = (uint32_t)(uintptr_t)object;
    code->jumpOpcode = 0xE9;
    code->jumpDistance = (int32_t)((uintptr_t)procedure - (uintptr_t)(code + 1));
    FlushInstructionCache(GetCurrentProcess(), code, sizeof(Code));
}
