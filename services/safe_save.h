// Saving a file so that the target is never lost: the text goes to a new temporary file
// beside the target, which is flushed to disk and then replaces the target in one step.
#pragma once

#include "card/io.h"

const size_t SAVE_PATH_SIZE = 1024;

enum class SaveStage {
    None,
    CreateTemporary,  // the temporary file did not open
    Write,            // the writer failed
    Replace,          // flushing or moving onto the target failed
};

struct SaveFailure {
    SaveStage stage = SaveStage::None;
    char path[SAVE_PATH_SIZE] = {};  // the temporary path (create, write) or the target (replace)
};

// The steps of a save that touch the file system; tests replace them to make one fail.
class SaveSteps {
public:
    virtual ~SaveSteps() = default;
    // Opens path for writing only when no file of that name exists; null with errno or the
    // last error set otherwise.
    virtual FILE* CreateNew(const char* path);
    virtual HRESULT Flush(FILE* file);
    virtual HRESULT Replace(const char* temporary, const char* target);
    // Wraps the stream the writer writes to; the default writes to the file as it is.
    virtual CardOutput* WrapOutput(CardOutput* output) { return output; }
};

typedef HRESULT (*WriteContent)(CardOutput& output, void* context);

// The temporary name for target: its extension replaced by ".tmp", or, when a file of
// that name exists or it equals the target, "-1.tmp", "-2.tmp" and so on. False when no
// free name fits in size bytes.
bool MakeTemporaryPath(const char* target, char* temporary, size_t size);

// Writes target through a temporary file with write(output, context). On failure the
// target is untouched, no temporary file stays, and failure says which step failed.
HRESULT SaveThroughTemporary(const char* target, WriteContent write, void* context, SaveFailure* failure,
                             SaveSteps* steps = nullptr);
