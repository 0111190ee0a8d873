// Saving through a temporary file, each step made to fail on real files: after any failure
// the target holds its old bytes (or is still absent), no temporary file stays, the user's
// files named like it are untouched, and the result, failed step and path are reported.
#include "services/safe_save.h"
#include "tests/support/card_text.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>
#include <errno.h>
#include <algorithm>

namespace {

namespace fs = std::filesystem;
typedef std::vector<std::string> Names;

const HRESULT DISK_FULL = ResultFromWin32(112);
const HRESULT ACCESS_DENIED = ResultFromWin32(5);
// A card with a group, parameters, escapes and a line long enough to fold: many writes.
const char CARD[] = "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Simon Perreault\r\nwork.TEL;TYPE=WORK,VOICE:+1-555-0100\r\n"
                    "NOTE:a note long enough to be folded\\, with commas\\; and\\nline breaks past seventy-five bytes\r\nEND:VCARD\r\n";
const char OLD_TARGET[] = "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:old\r\nEND:VCARD\r\n";
const char USERS_TMP[] = "the user's own notes, not ours\n";

enum Step { NOTHING, CREATE, WRITE, FLUSH, REPLACE };

// The save's steps and the writer's stream, one of them made to fail: the stream at its
// write number failAt, after handing on half of that write's bytes as a disk that fills
// up does; the flush after the bytes reached the file.
class InjectedSteps : public SaveSteps, public CardOutput {
public:
    explicit InjectedSteps(Step failing = NOTHING, int at = 3) : step(failing), failAt(failing == WRITE ? at : -1) {}
    FILE* CreateNew(const char* path) override
    {
        created.push_back(path);
        if (userFileAppears) WriteBytes(path, USERS_TMP);  // another program takes the name first
        userFileAppears = false;
        if (step != CREATE) return SaveSteps::CreateNew(path);
        errno = EACCES;
#ifdef _WIN32
        _doserrno = 5;
#endif
        return nullptr;
    }
    HRESULT Flush(FILE* file) override
    {
        if (step == FLUSH) return fflush(file) == 0 ? DISK_FULL : ResultFromRuntimeError();
        return SaveSteps::Flush(file);
    }
    HRESULT Replace(const char* temporary, const char* target) override
    {
        replacedFrom = temporary;
        return step == REPLACE ? ACCESS_DENIED : SaveSteps::Replace(temporary, target);
    }
    CardOutput* WrapOutput(CardOutput* output) override
    {
        inner = output;
        return this;
    }
    HRESULT Write(const char* bytes, size_t length) override
    {
        if (writes++ != failAt) return inner->Write(bytes, length);
        inner->Write(bytes, length / 2);
        return DISK_FULL;
    }

    Step step;
    int failAt;
    int writes = 0;
    bool userFileAppears = false;
    CardOutput* inner = nullptr;
    Names created;
    std::string replacedFrom;
};

HRESULT WriteDocument(CardOutput& output, void* context)
{
    return ((CardDocument*)context)->WriteCard(output);
}

class SafeSave : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(S_OK, card.Load(CARD)) << card.Why();
        expected = card.Save();
    }
    HRESULT Save(InjectedSteps& steps, const std::string& path = "")
    {
        return SaveThroughTemporary(path.empty() ? target.c_str() : path.c_str(), WriteDocument, &card.document,
                                    &failure, &steps);
    }
    // Empties the folder, then puts the old target (when asked) and the user's files in it.
    void Prepare(bool oldTarget, const Names& userFiles)
    {
        for (const std::string& name : folder.Names()) fs::remove_all(folder.path / name);
        if (oldTarget) WriteBytes(target, OLD_TARGET);
        for (const std::string& name : userFiles) WriteBytes(folder / name, USERS_TMP);
    }
    // After a failed save: all as prepared, and nothing else there.
    void ExpectAsPrepared(bool oldTarget, Names userFiles)
    {
        for (const std::string& name : userFiles) EXPECT_EQ(USERS_TMP, ReadBytes(folder / name)) << name;
        if (oldTarget) {
            EXPECT_EQ(OLD_TARGET, ReadBytes(target));
            userFiles.push_back("card.vcf");
        }
        std::sort(userFiles.begin(), userFiles.end());
        EXPECT_EQ(userFiles, folder.Names());
    }
    // The step failing beside no file, an old target and card.tmp, and an old target with
    // card.tmp and card-1.tmp: the save works in the first free name, and names the file that failed.
    void ExpectFailures(Step step, HRESULT result, SaveStage stage)
    {
        const struct { bool oldTarget; Names userFiles; const char* temporary; } setups[] = {
            {false, {}, "card.tmp"}, {true, {"card.tmp"}, "card-1.tmp"}, {true, {"card-1.tmp", "card.tmp"}, "card-2.tmp"}};
        for (const auto& setup : setups) {
            SCOPED_TRACE(setup.temporary);
            Prepare(setup.oldTarget, setup.userFiles);
            InjectedSteps steps(step);
            EXPECT_EQ(result, Save(steps));
            EXPECT_EQ(step == REPLACE ? target : folder / setup.temporary, failure.path);
            EXPECT_EQ(stage, failure.stage);
            ExpectAsPrepared(setup.oldTarget, setup.userFiles);
        }
    }

    TestCard card;
    std::string expected;  // the card's bytes as a save writes them
    TempFolder folder;
    std::string target = folder / "card.vcf";
    SaveFailure failure;
};

TEST_F(SafeSave, SaveWorksInTheFirstFreeTemporaryName)
{
    fs::create_directory(folder.path / "old.cards");
    WriteBytes(folder / "card.tmp", USERS_TMP);
    const struct { const char* target; const char* temporary; } rows[] = {
        {"card.vcf", "card-1.tmp"},                // card.tmp is the user's
        {"card-1.tmp", "card-1-1.tmp"},            // the target's own name is never the temporary one
        {"old.cards/card", "old.cards/card.tmp"},  // a dot in a folder name is no extension
    };
    for (const auto& row : rows) {
        std::string path = (folder.path / row.target).string();
        WriteBytes(path, OLD_TARGET);
        InjectedSteps steps;
        ASSERT_EQ(S_OK, Save(steps, path));
        EXPECT_EQ(expected, ReadBytes(path));
        EXPECT_EQ((folder.path / row.temporary).string(), steps.replacedFrom);
        EXPECT_GT(steps.writes, 5) << "the card is written in many pieces";
    }
    EXPECT_EQ(USERS_TMP, ReadBytes(folder / "card.tmp"));
    EXPECT_EQ((Names{"card-1.tmp", "card.tmp", "card.vcf", "old.cards"}), folder.Names()) << "no temporary file stays";
}

TEST_F(SafeSave, StreamFailingAtEveryWriteLeavesTheOldTarget)
{
    InjectedSteps counting;
    ASSERT_EQ(S_OK, Save(counting));
    for (int n = 0; n <= counting.writes; ++n) {
        SCOPED_TRACE("write " + std::to_string(n) + " of " + std::to_string(counting.writes));
        Prepare(true, {"card.tmp"});
        InjectedSteps steps(WRITE, n);
        HRESULT result = Save(steps);
        EXPECT_EQ(n < counting.writes ? DISK_FULL : S_OK, result);
        EXPECT_EQ(std::min(n + 1, counting.writes), steps.writes) << "the writer stops at the failed write";
        if (FAILED(result)) ExpectAsPrepared(true, {"card.tmp"});
    }
    EXPECT_EQ(expected, ReadBytes(target)) << "past the last write nothing fails";
}

TEST_F(SafeSave, CreateFailureReportsTheOpenErrorNotTheExistenceCheck)
{
    // The check whether the chosen name exists ran after the failed open and replaced
    // its error (access denied) with its own (file not found).
    ExpectFailures(CREATE, ACCESS_DENIED, SaveStage::CreateTemporary);
}

TEST_F(SafeSave, WriteFlushAndReplaceFailuresLeaveTheOldTarget)
{
    ExpectFailures(WRITE, DISK_FULL, SaveStage::Write);
    ExpectFailures(FLUSH, DISK_FULL, SaveStage::Write);
    ExpectFailures(REPLACE, ACCESS_DENIED, SaveStage::Replace);
}

TEST_F(SafeSave, ReplacingAFolderFailsForReal)
{
    fs::create_directory(target);  // no injection: no file may replace a folder
    WriteBytes(folder / "card.vcf/inside.txt", USERS_TMP);
    InjectedSteps steps;
    EXPECT_TRUE(FAILED(Save(steps)));
    EXPECT_EQ(SaveStage::Replace, failure.stage);
    EXPECT_EQ(target, failure.path);
    EXPECT_EQ(USERS_TMP, ReadBytes(folder / "card.vcf/inside.txt"));
    EXPECT_EQ(Names{"card.vcf"}, folder.Names());
}

TEST_F(SafeSave, TargetWhoseTemporaryNameIsTooLongIsRefused)
{
    InjectedSteps steps;
    EXPECT_EQ(ResultFromWin32(FILENAME_TOO_LONG), Save(steps, folder / (std::string(SAVE_PATH_SIZE, 'x') + ".vcf")));
    EXPECT_EQ(SaveStage::CreateTemporary, failure.stage);
    EXPECT_TRUE(steps.created.empty());
}

TEST_F(SafeSave, NameTakenBetweenCheckAndOpenIsPassedOver)
{
    InjectedSteps steps;
    steps.userFileAppears = true;
    ASSERT_EQ(S_OK, Save(steps));
    EXPECT_EQ((Names{folder / "card.tmp", folder / "card-1.tmp"}), steps.created);
    EXPECT_EQ(USERS_TMP, ReadBytes(folder / "card.tmp"));
    EXPECT_EQ(expected, ReadBytes(target));
    EXPECT_EQ((Names{"card.tmp", "card.vcf"}), folder.Names());
}

}  // namespace
