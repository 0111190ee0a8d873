// A few bytes of machine code per window object that turn a call of a window or dialog
// procedure into a call of the object's bound procedure, with no lookup.
#pragma once

#include <windows.h>

class WindowBinding;

// What a trampoline leads to: a window procedure that receives its object in place of
// the window handle. The stack is the platform's, so the calling convention must match.
typedef LRESULT(CALLBACK* BoundProcedure)(WindowBinding* object, UINT message, WPARAM wParam, LPARAM lParam);

class Trampoline {
public:
    Trampoline() : code(nullptr) {}
    ~Trampoline();
    Trampoline(const Trampoline&) = delete;
    Trampoline& operator=(const Trampoline&) = delete;

    // Gets executable storage once; false when there is no memory. Later calls keep it.
    bool Allocate();
    // Makes the code call procedure with object as its first argument. Allocate first.
    void Write(WindowBinding* object, BoundProcedure procedure);
    // The code's address, as SetWindowLongPtrA takes a procedure; 0 before Allocate.
    LONG_PTR Address() const { return (LONG_PTR)code; }

private:
    struct Code;
    Code* code;
};
