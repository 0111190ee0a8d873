// The one way messages reach the user: a body from the string table, a line with a
// result code and the system's text for it, and a detail that says why the card code
// refused a card.
#pragma once

#include "card/platform.h"
#include "card/refusal.h"
#include "res/string_ids.h"
#include "services/safe_save.h"

#include <stdarg.h>
#include <stddef.h>

const size_t MESSAGE_TEXT_SIZE = 2048;  // a message box text, terminator included

// Builds the text of a message box: the body (id 0: none), the code line (code 0: none)
// and the detail of the refusal (null, or kind None: none). Returns a heap text of
// MESSAGE_TEXT_SIZE bytes that the caller frees, or null when nothing should be shown
// (no memory, or a body that does not fit).
char* ComposeMessage(HRESULT code, const Refusal* refusal, int id, va_list arguments);
char* ComposeMessageF(HRESULT code, const Refusal* refusal, int id, ...);

// The message of a save that failed at stage: a string id whose one argument is the
// failure's path. The editor's Save and vcardtool's format both word failures with it.
int SaveFailureMessage(SaveStage stage);

// One change of a conversion between versions in words, into buffer (size bytes,
// terminated). The editor's Save As and vcardtool's convert both word changes with it.
struct ConversionEntry;
void DescribeConversionChange(const ConversionEntry& entry, char* buffer, size_t size);

// Loads string id into buffer (size bytes, terminated); returns its length, 0 if none.
int LoadTextString(int id, char* buffer, int size);

// The system's text for a result code (a heap text the caller frees with FreeSystemText),
// or null when the system has none.
char* GetSystemText(HRESULT code);
void FreeSystemText(char* text);

#ifdef _WIN32
// Shows the composed text in a message box with the program's caption, owned by the
// main window while one exists. Returns the button pressed, or 0 when nothing was shown.
int ReportMessage(HRESULT code, const Refusal* refusal, UINT type, int id, ...);
// Where message boxes find their owner: the main window while one exists. The function
// answers null before the main window is bound and after its window is gone.
void SetMessageOwnerSource(HWND (*owner)());
#endif
